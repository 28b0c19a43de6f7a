# SPDX-License-Identifier: GPL-3.0-or-later
# Says why a test does not run in this build, and reports it skipped (exit code 77).
message("SKIPPED: ${REASON}")
cmake_language(EXIT 77)
