// SPDX-License-Identifier: GPL-3.0-or-later
// A data-driven test's columns declared in one line: the types in order, then their names.
#pragma once

#include <QtTest>

#include <array>
#include <cstddef>

template <typename... Types>
void addColumns(const std::array<const char *, sizeof...(Types)> &names)
{
    std::size_t column = 0;
    (QTest::addColumn<Types>(names[column++]), ...);
}
