// SPDX-License-Identifier: GPL-3.0-or-later
#include "doubles.h"

#include <cstring>

namespace platform {

namespace {

QString titleOr(const QString &title)
{
    return title.isEmpty() ? applicationTitle() : title;
}

} // namespace

void ScriptedDialogs::answer(int button, Action whileOpen)
{
    script_.push_back({Kind::Message, button, QString(), std::move(whileOpen)});
}

void ScriptedDialogs::type(const QString &text, Action whileOpen)
{
    script_.push_back({Kind::Input, 0, text, std::move(whileOpen)});
}

ScriptedDialogs::Answer ScriptedDialogs::next(Kind kind)
{
    // An unscripted box takes its safe answer: OK, No, or Cancel.
    if (script_.empty() || script_.front().kind != kind)
        return {kind, -1, QString(), {}};
    Answer a = std::move(script_.front());
    script_.pop_front();
    return a;
}

int ScriptedDialogs::msgBox(const QString &prompt, int style, const QString &title)
{
    return spokenMsgBox(prompt, QString(), style, title);
}

int ScriptedDialogs::spokenMsgBox(const QString &prompt, const QString &spoken, int style,
                                  const QString &title)
{
    calls_.append({Kind::Message, prompt, style, titleOr(title), spoken});
    const Call call = calls_.back();
    Answer a = next(Kind::Message);
    {
        ModalScope scope;
        if (a.whileOpen)
            a.whileOpen(call);
    }
    const bool yesNo = asksYesNo(style);
    if (a.button < 0)
        return yesNo ? vbNo : vbOK;
    return a.button;
}

QString ScriptedDialogs::inputBox(const QString &prompt, const QString &title)
{
    calls_.append({Kind::Input, prompt, 0, titleOr(title), QString()});
    const Call call = calls_.back();
    Answer a = next(Kind::Input);
    {
        ModalScope scope;
        if (a.whileOpen)
            a.whileOpen(call);
    }
    return a.text;
}

QStringList ScriptedDialogs::prompts() const
{
    QStringList list;
    for (const Call &c : calls_)
        list << c.prompt;
    return list;
}

bool ScriptedWait::waitFor(const QString &message, const std::function<bool()> &ready,
                           std::chrono::milliseconds)
{
    messages << message;
    if (!rounds.empty()) {
        auto round = std::move(rounds.front());
        rounds.pop_front();
        if (round)
            round();
    }
    return ready();
}

} // namespace platform

namespace records {

WindowsDirectoryCall windowsDirectoryReturning(const QByteArray &text)
{
    return [text](char *buffer, std::uint32_t size) -> std::uint32_t {
        if (text.isNull())
            return 0;
        if (std::uint32_t(text.size()) + 1 > size)
            return std::uint32_t(text.size()) + 1;
        std::memcpy(buffer, text.constData(), size_t(text.size()) + 1);
        return std::uint32_t(text.size());
    };
}

} // namespace records
