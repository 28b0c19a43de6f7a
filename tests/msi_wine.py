#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The Windows installer under Wine, as a school technician uses it: silently.

In a fresh Wine installation: a file where the record folder goes stops the installation;
without it `msiexec /i vorandi-<version>-x64.msi /qn INSTALLDIR=...` puts the program, its
texts and the Start-menu entry in the folder given, makes the record folder and registers it for
"App installate"; a second build of the same version leaves one entry; one game of the
installed program saves its record; an installer of a higher version replaces the program in
the same folder and keeps the record; `msiexec /x ... /qn` removes every program file and keeps
the record. In a second fresh installation a relative RECORDDIR is refused, the higher version
goes in first, with RECORDDIR naming another record folder, and the lower one is refused; a game keeps its record in the
folder named, and no %ProgramData%\Vorandi is made.

Wine's installer keeps the replaced version's upgrade code entry, and looks at only the first
one, so after an upgrade it would not see the newer version any more: hence the second
installation for the downgrade.

Usage: msi_wine.py WINE MSI ZIP PREFIX
The zip holds the very files the installer does; the test builds from them a second installer
of the same version (one entry in "App installate" whichever build installs) and the higher one.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

here = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [here, os.path.join(here, os.pardir, "tools")]
import desktop  # noqa: E402
from desktop import Failure  # noqa: E402
from e2e_wine import play_a_game  # noqa: E402

UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall"
INSTALLED = ("vorandi.exe", "LEGGIMI.txt", "LICENZA.txt")
# A school's own folders: spaces and an accented letter.
CUSTOM_DIR = r"C:\Giochi di scuola\Più Vorandi"
LAB_RECORD = r"C:\Laboratorio 2\Record"
# ERROR_INSTALL_FAILURE, a launch condition stopping the installation; Wine hands a program's
# status to Linux in 8 bits.
INSTALL_FAILED = 1603 % 256
DOWNGRADE_MESSAGE = "c'è già una versione più recente di Vorandi"
RECORD_FILE_MESSAGE = "Al posto della cartella del record"


class Machine:
    """A Wine installation of its own, driven by msiexec and reg."""

    def __init__(self, wine, prefix):
        self.wine, self.prefix = wine, prefix
        self.install_dir = r"C:\Program Files\Vorandi"
        self.env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        self.env.update(WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
        shutil.rmtree(prefix, ignore_errors=True)
        self.run("wineboot", "-i")

    def run(self, *args):
        result = subprocess.run([self.wine, *args], env=self.env, capture_output=True,
                                timeout=300)
        subprocess.run([os.path.join(os.path.dirname(self.wine), "wineserver"), "-w"],
                       env=self.env)
        return result

    def msiexec(self, *args):
        return self.run("msiexec", *args).returncode % 256

    def path(self, *parts):
        return os.path.join(self.prefix, "drive_c", *parts)

    def windows_path(self, path):
        return self.path(*path[3:].split("\\"))

    def query(self, key):
        # reg writes to a pipe in the console's code page, 437 or 850: Italian's accented
        # letters are the same in both.
        return self.run("reg", "query", key, "/s").stdout.decode("cp850")

    def entries(self):
        """The "App installate" entries named Vorandi: {key: {value: data}}."""
        out = self.query(UNINSTALL)
        entries, key = {}, None
        for line in out.splitlines():
            if line.startswith("HKEY_"):
                key = line.strip()
                entries[key] = {}
            elif key and line.strip():
                fields = re.split(r"\s{2,}|\t", line.strip(), maxsplit=2)
                if len(fields) == 3:
                    entries[key][fields[0]] = fields[2]
        return {k: v for k, v in entries.items() if v.get("DisplayName") == "Vorandi"}


def expect(condition, what):
    if not condition:
        raise Failure(what)


def program_dir(machine):
    return machine.windows_path(machine.install_dir)


def shortcuts(machine):
    """The Start-menu entries: Windows puts a per-machine one in the common Start menu, Wine in
    the installing account's."""
    menus = [machine.path("ProgramData", "Microsoft", "Windows", "Start Menu", "Programs"),
             machine.path("users", os.environ.get("USER", "root"), "AppData", "Roaming",
                          "Microsoft", "Windows", "Start Menu", "Programs")]
    return [os.path.join(m, "Vorandi.lnk") for m in menus
            if os.path.isfile(os.path.join(m, "Vorandi.lnk"))]


def record_bytes(machine):
    folder = machine.path("ProgramData", "Vorandi")
    return {name: open(os.path.join(folder, name), "rb").read()
            for name in ("vora.txt", "nvora.txt")}


def check_installed(machine, version):
    for name in INSTALLED:
        expect(os.path.isfile(os.path.join(program_dir(machine), name)),
               f"{name} is not in {machine.install_dir} after installing {version}")
    expect(shortcuts(machine), "no Start-menu entry")
    entries = machine.entries()
    expect(len(entries) == 1, f"{len(entries)} entries for Vorandi in App installate")
    entry = next(iter(entries.values()))
    expect(entry.get("DisplayVersion") == version,
           f"App installate shows version {entry.get('DisplayVersion')}, not {version}")
    for value in ("Publisher", "HelpLink"):
        expect(entry.get(value), f"App installate shows no {value}")
    expect(entry.get("InstallLocation") == machine.install_dir + "\\",
           f"the install location reads {entry.get('InstallLocation')}")
    expect(re.search(r"ProductIcon\s+REG_SZ\s+\S.*vorandi\.ico",
                     machine.query(r"HKLM\Software\Classes\Installer\Products")),
           "App installate has no icon for Vorandi")


def msiinfo(*args):
    return subprocess.run(["msiinfo", *args], capture_output=True, text=True, check=True).stdout


def check_tables(msi):
    """What no silent installation shows: every account's Start menu, the refusal's words, the
    package's language, the program's version."""
    expect(re.search(r"^ALLUSERS\t1$", msiinfo("export", msi, "Property"), re.M),
           "the installer is not per machine")
    conditions = msiinfo("export", msi, "LaunchCondition")
    expect(DOWNGRADE_MESSAGE in conditions, "the refusal of a downgrade is not in Italian")
    expect(RECORD_FILE_MESSAGE in conditions, "no refusal of a file at the record folder")
    expect("Template: x64;1040" in msiinfo("suminfo", msi), "the package is not Italian")
    expect(re.search(r"^1252\t_ForceCodepage", msiinfo("export", msi, "_ForceCodepage"), re.M),
           "the database's code page is not Windows-1252")
    exe = next(line.split("\t") for line in msiinfo("export", msi, "File").splitlines()
               if line.startswith("vorandi.exe\t"))
    expect(exe[4] == f"{version_of(msi)}.0", f"vorandi.exe's version is {exe[4]!r}")


def version_of(msi):
    return re.search(r"vorandi-(\d+\.\d+\.\d+)-x64\.msi$", msi).group(1)


def check_file_in_the_way(machine, msi):
    """A file named like the record folder stops the installation before anything is done."""
    in_the_way = machine.path("ProgramData", "Vorandi")
    with open(in_the_way, "w"):
        pass
    status = machine.msiexec("/i", msi, "/qn", "/l*v", r"C:\file-in-the-way.log")
    log = open(machine.path("file-in-the-way.log"), "rb").read().decode("utf-8", "replace")
    expect(status == INSTALL_FAILED, f"the installation over a file at the record folder gave "
           f"status {status}")
    expect(re.search(r"RECORDFOLDERFILE = C:\\ProgramData\\Vorandi", log, re.I),
           "the log does not name the file at the record folder")
    expect(not machine.entries(), "a refused installation left Vorandi in App installate")
    os.remove(in_the_way)


def higher_version(version):
    major, minor, patch = version.split(".")
    return f"{major}.{minor}.{int(patch) + 1}"


def build_from_zip(zip_path, version, work):
    """An installer of VERSION built again from the zip's files: another build of the same
    version, or the release after."""
    stage = os.path.join(work, f"stage-{version}")
    with zipfile.ZipFile(zip_path) as archive:
        archive.extractall(stage)
    out = os.path.join(work, version, f"vorandi-{version}-x64.msi")
    os.makedirs(os.path.dirname(out))
    subprocess.run([os.path.join(here, os.pardir, "tools", "make-msi.sh"), stage, version, out],
                   check=True, stdout=subprocess.DEVNULL)
    return out


def main():
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    wine, msi, zip_path, prefix = sys.argv[1], os.path.abspath(sys.argv[2]), sys.argv[3], \
        sys.argv[4]
    with desktop.reported_failure(), tempfile.TemporaryDirectory() as work:
        check_tables(msi)
        version = version_of(msi)
        newer = build_from_zip(zip_path, higher_version(version), work)
        machine = Machine(wine, prefix)
        check_file_in_the_way(machine, msi)
        print("A file at the record folder stopped the installation")

        machine.install_dir = CUSTOM_DIR
        expect(machine.msiexec("/i", msi, "/qn", f"INSTALLDIR={CUSTOM_DIR}") == 0,
               f"msiexec /i {msi} /qn INSTALLDIR=... failed")
        check_installed(machine, version)
        expect(os.path.isdir(machine.path("ProgramData", "Vorandi")),
               "the installer did not make C:\\ProgramData\\Vorandi")
        # Windows refuses the second build as "another version of this product" (1638), Wine
        # takes it as a repair: either way one entry. The repair makes the record folder again.
        os.rmdir(machine.path("ProgramData", "Vorandi"))
        machine.msiexec("/i", build_from_zip(zip_path, version, work), "/qn")
        check_installed(machine, version)
        expect(os.path.isdir(machine.path("ProgramData", "Vorandi")),
               "installing again did not make C:\\ProgramData\\Vorandi again")
        print(f"Installed {version} silently in {CUSTOM_DIR}: program, texts, Start-menu entry, "
              "record folder, App installate; a second build of it is the same entry")

        play_a_game(wine, os.path.join(program_dir(machine), "vorandi.exe"), prefix)
        record = record_bytes(machine)
        print("The installed program played a game and saved its record")

        expect(machine.msiexec("/i", newer, "/qn") == 0, f"the upgrade to {newer} failed")
        check_installed(machine, higher_version(version))
        expect(record_bytes(machine) == record, "the upgrade changed the record")
        expect(not os.path.exists(machine.path("Program Files", "Vorandi")),
               "the upgrade went to C:\\Program Files\\Vorandi, not to the folder given")
        print(f"Upgraded to {higher_version(version)}: the record kept byte for byte")

        expect(machine.msiexec("/x", newer, "/qn") == 0, "msiexec /x /qn failed")
        left = os.listdir(program_dir(machine)) if os.path.isdir(program_dir(machine)) else []
        expect(not left, f"the removal left {left} in {machine.install_dir}")
        expect(not shortcuts(machine), "the removal left the Start-menu entry")
        expect(not machine.entries(), "the removal left Vorandi in App installate")
        expect(record_bytes(machine) == record, "the removal changed or took the record")
        print("Removed silently: no program file left, the record kept")

        machine = Machine(wine, prefix + "-downgrade")
        status = machine.msiexec("/i", newer, "/qn", "RECORDDIR=Record")
        expect(status == INSTALL_FAILED and not machine.entries(),
               f"a relative RECORDDIR was not refused (status {status})")
        expect(machine.msiexec("/i", newer, "/qn", f"RECORDDIR={LAB_RECORD}") == 0,
               f"installing {newer} with RECORDDIR failed")
        status = machine.msiexec("/i", msi, "/qn")
        expect(status == INSTALL_FAILED, f"installing {version} over the newer one gave "
               f"status {status}, not {INSTALL_FAILED}")
        check_installed(machine, higher_version(version))
        print(f"Installing {version} over {higher_version(version)} was refused")

        play_a_game(wine, os.path.join(program_dir(machine), "vorandi.exe"), prefix + "-downgrade",
                    machine.windows_path(LAB_RECORD))
        expect(not os.path.exists(machine.path("ProgramData", "Vorandi")),
               "with RECORDDIR, C:\\ProgramData\\Vorandi was made all the same")
        print(f"Installed with RECORDDIR={LAB_RECORD}: the game kept its record there")
    print("The installer under Wine: passed")


if __name__ == "__main__":
    main()
