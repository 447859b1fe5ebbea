"""wine.py: the Wine side of every machine: the environment of its processes, the base prefix
made once per test run, and the copy of it that each machine works on.  Every prefix is
32-bit, headless (Wine's null graphics driver) and runs with the ANSI code page 932."""
import os
import shutil
import subprocess

CODE_PAGE = "cp932"


def wine_environment(prefix):
    """The environment of every Wine process of the tests: a 32-bit prefix, no debug
    output unless the caller's WINEDEBUG asks for it, no Mono/Gecko prompts, the Japanese locale (ANSI code page 932), no display."""
    env = dict(os.environ)
    for name in ("DISPLAY", "WAYLAND_DISPLAY", "LANGUAGE"):
        env.pop(name, None)
    env.update({
        "WINEPREFIX": prefix,
        "WINEARCH": "win32",
        "WINEDEBUG": os.environ.get("WINEDEBUG", "-all"),
        "WINEDLLOVERRIDES": "mscoree,mshtml=",
        "LANG": "ja_JP.UTF-8",
        "LC_ALL": "ja_JP.UTF-8",
    })
    return env


def windows_path(host_path):
    """The path under which a Wine program sees a host file (drive Z: is the host's root)."""
    return "Z:" + os.path.abspath(host_path).replace("/", "\\")


def require_japanese_locale():
    out = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout
    if not any(line.lower().replace("-", "") == "ja_jp.utf8" for line in out.split()):
        raise SystemExit("the ja_JP.UTF-8 locale is missing (scripts/install-deps.sh makes it);"
                         " without it Wine silently uses code page 1252")


def make_base_prefix(prefix):
    """Makes the prefix that every scenario copies: wineboot, the null graphics driver, and
    the wineserver gone so that the registry files are complete."""
    require_japanese_locale()
    shutil.rmtree(prefix, ignore_errors=True)
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    env = wine_environment(prefix)
    subprocess.run(["wineboot", "-i"], env=env, check=True, timeout=300,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\Drivers", "/v", "Graphics",
                    "/d", "null", "/f"], env=env, check=True, timeout=120,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, check=True, timeout=300)
    with open(os.path.join(prefix, "user.reg"), encoding="utf-8", errors="replace") as f:
        if '"Graphics"="null"' not in f.read():
            raise SystemExit("the null graphics driver did not reach the registry")


# Wine's own program files are never written by a scenario: a copy shares them with the base
# through hard links.  Everything else (the registry files first of all, which Wine rewrites
# in place) is copied.
_SHARED_EXTENSIONS = {".dll", ".exe", ".drv", ".sys", ".ocx", ".cpl", ".acm", ".tlb", ".nls",
                      ".ax", ".ds", ".vxd", ".com", ".fon", ".ttf", ".msstyles", ".mui"}


def copy_prefix(base, copy):
    shutil.rmtree(copy, ignore_errors=True)
    for root, dirs, files in os.walk(base):
        rel = os.path.relpath(root, base)
        out = os.path.normpath(os.path.join(copy, rel))
        os.makedirs(out, exist_ok=True)
        for name in dirs + files:
            source = os.path.join(root, name)
            target = os.path.join(out, name)
            if os.path.islink(source):
                os.symlink(os.readlink(source), target)
            elif name in files:
                shared = (rel.split(os.sep)[0] == "drive_c"
                          and os.path.splitext(name)[1].lower() in _SHARED_EXTENSIONS)
                if shared:
                    os.link(source, target)
                else:
                    shutil.copy2(source, target)
        shutil.copystat(root, out)
