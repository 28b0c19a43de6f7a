// SPDX-License-Identifier: GPL-3.0-or-later
// The record directory on Windows (Windows only): one folder shared by every account, which a
// standard account may write, taking over a record that older installations kept in the Windows
// directory.
#pragma once

#include <QString>
#include <QStringList>

namespace records {

// The access-control entry the folder is made with, in the system's SDDL form: the local Users
// group (BU) may read, write and delete in it (modify rights: 0x1301bf, without changing rights
// or taking ownership), and every file and folder made in it inherits that (OICI). The DACL is
// not protected, so the entries the parent folder passes on (administrators, SYSTEM) stay.
inline constexpr wchar_t recordFolderSddl[] = L"D:(A;OICI;0x1301bf;;;BU)";

// %ProgramData%\Vorandi, from the known-folder call; empty when the system has none.
QString sharedRecordFolder();

// Where older installations left the record: the Windows directory, and this account's
// VirtualStore copy of it (where Windows redirected a standard account's writes there).
QStringList oldRecordPlaces();

// Makes dir (native separators or "/") with inherited modify rights for Users when it is
// missing; then, when it holds no record yet, copies over unchanged the pair of record files
// with the highest score found in oldPlaces. A folder that cannot be made is a RuntimeError
// naming it, with the reason.
void prepareRecordFolder(const QString &dir, const QStringList &oldPlaces);

} // namespace records
