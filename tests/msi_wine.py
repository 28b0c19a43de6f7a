#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The Windows installer under Wine, as a school technician uses it: silently.

In a fresh Wine installation: `msiexec /i vorandi-<version>-x64.msi /qn` puts the program, its
texts and the Start-menu entry in place and registers it for "App installate"; one game of the
installed program saves its record; an installer of a higher version replaces the program and
keeps the record; `msiexec /x ... /qn` removes every program file and keeps the record. In a
second fresh installation the higher version goes in first and the lower one is refused.

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
# ERROR_INSTALL_FAILURE, a launch condition stopping the installation; Wine hands a program's
# status to Linux in 8 bits.
DOWNGRADE_REFUSED = 1603 % 256
DOWNGRADE_MESSAGE = "c'è già una versione più recente di Vorandi"


class Machine:
    """A Wine installation of its own, driven by msiexec and reg."""

    def __init__(self, wine, prefix):
        self.wine, self.prefix = wine, prefix
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

    def query(self, key):
        return self.run("reg", "query", key, "/s").stdout.decode("utf-8", "replace")

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
    return machine.path("Program Files", "Vorandi")


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
               f"{name} is not in C:\\Program Files\\Vorandi after installing {version}")
    expect(shortcuts(machine), "no Start-menu entry")
    entries = machine.entries()
    expect(len(entries) == 1, f"{len(entries)} entries for Vorandi in App installate")
    entry = next(iter(entries.values()))
    expect(entry.get("DisplayVersion") == version,
           f"App installate shows version {entry.get('DisplayVersion')}, not {version}")
    for value in ("Publisher", "HelpLink"):
        expect(entry.get(value), f"App installate shows no {value}")
    expect(re.search(r"ProductIcon\s+REG_SZ\s+\S.*vorandi\.ico",
                     machine.query(r"HKLM\Software\Classes\Installer\Products")),
           "App installate has no icon for Vorandi")


def check_tables(msi):
    """What no silent installation shows: every account's Start menu, the refusal's words."""
    properties = subprocess.run(["msiinfo", "export", msi, "Property"], capture_output=True,
                                text=True, check=True).stdout
    expect(re.search(r"^ALLUSERS\t1$", properties, re.M), "the installer is not per machine")
    conditions = subprocess.run(["msiinfo", "export", msi, "LaunchCondition"],
                                capture_output=True, text=True, check=True).stdout
    expect(DOWNGRADE_MESSAGE in conditions, "the refusal of a downgrade is not in Italian")


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
        version = re.search(r"vorandi-(\d+\.\d+\.\d+)-x64\.msi$", msi).group(1)
        newer = build_from_zip(zip_path, higher_version(version), work)
        machine = Machine(wine, prefix)

        expect(machine.msiexec("/i", msi, "/qn") == 0, f"msiexec /i {msi} /qn failed")
        check_installed(machine, version)
        # Windows refuses the second build as "another version of this product" (1638), Wine
        # takes it as a repair: either way one entry.
        machine.msiexec("/i", build_from_zip(zip_path, version, work), "/qn")
        check_installed(machine, version)
        expect(os.path.isdir(machine.path("ProgramData", "Vorandi")),
               "the installer did not make C:\\ProgramData\\Vorandi")
        print(f"Installed {version} silently: program, texts, Start-menu entry, App installate")

        play_a_game(wine, os.path.join(program_dir(machine), "vorandi.exe"), prefix)
        record = record_bytes(machine)
        print("The installed program played a game and saved its record")

        expect(machine.msiexec("/i", newer, "/qn") == 0, f"the upgrade to {newer} failed")
        check_installed(machine, higher_version(version))
        expect(record_bytes(machine) == record, "the upgrade changed the record")
        print(f"Upgraded to {higher_version(version)}: the record kept byte for byte")

        expect(machine.msiexec("/x", newer, "/qn") == 0, "msiexec /x /qn failed")
        left = os.listdir(program_dir(machine)) if os.path.isdir(program_dir(machine)) else []
        expect(not left, f"the removal left {left} in C:\\Program Files\\Vorandi")
        expect(not shortcuts(machine), "the removal left the Start-menu entry")
        expect(not machine.entries(), "the removal left Vorandi in App installate")
        expect(record_bytes(machine) == record, "the removal changed or took the record")
        print("Removed silently: no program file left, the record kept")

        machine = Machine(wine, prefix + "-downgrade")
        expect(machine.msiexec("/i", newer, "/qn") == 0, f"installing {newer} failed")
        status = machine.msiexec("/i", msi, "/qn")
        expect(status == DOWNGRADE_REFUSED, f"installing {version} over the newer one gave "
               f"status {status}, not {DOWNGRADE_REFUSED}")
        check_installed(machine, higher_version(version))
        print(f"Installing {version} over {higher_version(version)} was refused")
    print("The installer under Wine: passed")


if __name__ == "__main__":
    main()
