"""snapshot.py: the state of a machine (its files under drive C: and its registry, read from
Wine's registry files) and the readable list of what changed between two states."""
import hashlib
import os
import re


_ESCAPES = {"n": "\n", "r": "\r", "t": "\t", "a": "\a", "b": "\b", "f": "\f", "v": "\v",
            "e": "\x1b", "0": "\0"}


def _unescape(text):
    """Undoes the escaping of Wine's registry files (\\\\, \\", \\xHHHH, octal, \\n...)."""
    out = []
    i = 0
    while i < len(text):
        c = text[i]
        if c != "\\" or i + 1 == len(text):
            out.append(c)
            i += 1
            continue
        e = text[i + 1]
        if e == "x":
            m = re.match(r"[0-9a-fA-F]{1,4}", text[i + 2:])
            out.append(chr(int(m.group(0), 16)))
            i += 2 + len(m.group(0))
        elif e in "01234567":
            m = re.match(r"[0-7]{1,3}", text[i + 1:])
            out.append(chr(int(m.group(0), 8)))
            i += 1 + len(m.group(0))
        else:
            out.append(_ESCAPES.get(e, e))
            i += 2
    return "".join(out)


def _quoted(text, start):
    """The quoted text beginning at text[start] ('"'); returns (raw inner text, end)."""
    i = start + 1
    while text[i] != '"':
        i += 2 if text[i] == "\\" else 1
    return text[start + 1:i], i + 1


def decode_reg_value(raw):
    """A value as the registry file holds it: str for strings, int for dwords, bytes (with
    its type) for the rest."""
    if raw.startswith('"'):
        return _unescape(_quoted(raw, 0)[0])
    m = re.match(r'str\((\d+)\):"', raw)
    if m:
        return _unescape(_quoted(raw, m.end() - 1)[0])
    if raw.startswith("dword:"):
        return int(raw[6:], 16)
    m = re.match(r"hex(?:\((\w+)\))?:(.*)", raw)
    if m:
        data = bytes(int(b, 16) for b in m.group(2).split(",") if b)
        return ("hex" + (m.group(1) and "(%s)" % m.group(1) or ""), data)
    return raw


def parse_registry_file(path):
    """{key path in lower case: (key path, {value name in lower case: (name, raw value)})}
    from one of Wine's registry files."""
    keys = {}
    values = None
    with open(path, encoding="utf-8", errors="surrogateescape") as f:
        text = f.read()
    text = re.sub(r"\\\n\s*", "", text)  # continued hex lines
    for line in text.split("\n"):
        if line.startswith("["):
            m = re.match(r"\[(.*)\](?: \d+)?$", line)
            name = _unescape(m.group(1))
            values = {}
            keys[name.lower()] = (name, values)
        elif values is None or not line or line[0] in "#;":
            continue
        elif line.startswith("@="):
            values[""] = ("", line[2:])
        elif line.startswith('"'):
            raw_name, end = _quoted(line, 0)
            name = _unescape(raw_name)
            values[name.lower()] = (name, line[end + 1:])
    # Wine writes out only the keys that hold values or have no subkeys; the others are
    # there all the same, as the parents of those.
    for lower, (name, _) in list(keys.items()):
        parts = name.split("\\")
        for n in range(1, len(parts)):
            parent = "\\".join(parts[:n])
            keys.setdefault(parent.lower(), (parent, {}))
    return keys


class Snapshot:
    """Files under drive C: (path in lower case -> (path, size, digest)) and the registry
    (HKLM and HKCU: 'HKLM\\key' in lower case -> (key, {value})), with Wine's own
    bookkeeping left out.  With `registry` false only the files are read: their state is
    current even while Wine runs, the registry files' is not."""

    def __init__(self, prefix, registry=True):
        self.files = {}
        drive = os.path.join(prefix, "drive_c")
        for root, dirs, files in os.walk(drive):
            rel_root = os.path.relpath(root, drive)
            for name in dirs:
                rel = _windows_rel(os.path.join(rel_root, name)) + "\\"
                self.files[rel.lower()] = (rel, None, None)
            for name in files:
                path = os.path.join(root, name)
                rel = _windows_rel(os.path.join(rel_root, name))
                if os.path.islink(path):
                    continue
                info = os.stat(path)
                if info.st_nlink > 1 or info.st_size > 1 << 20:
                    # Wine's own files, shared with the base prefix: replaced, never edited.
                    digest = (info.st_ino, info.st_mtime_ns)
                else:
                    with open(path, "rb") as f:
                        digest = hashlib.sha1(f.read()).hexdigest()
                self.files[rel.lower()] = (rel, info.st_size, digest)
        self.registry = {}
        for hive, file_name in (("HKLM", "system.reg"), ("HKCU", "user.reg"))[:2 * registry]:
            for lower, (name, values) in parse_registry_file(
                    os.path.join(prefix, file_name)).items():
                self.registry[hive.lower() + "\\" + lower] = (hive + "\\" + name, values)


def _windows_rel(rel):
    return os.path.normpath(rel).replace("/", "\\")


def _ignored_key(key):
    # Bookkeeping that Wine updates whenever programs run: not part of the machine state
    # that the deliverables own.
    return any(key.startswith(p) for p in _NOISE_KEYS)


_NOISE_KEYS = (
    # The display adapter and monitor classes: rewritten by the graphics driver whenever the
    # prefix's wineserver starts.
    "hklm\\system\\currentcontrolset\\control\\class\\{4d36e968-e325-11ce-bfc1-08002be10318}",
    "hklm\\system\\currentcontrolset\\control\\class\\{4d36e96e-e325-11ce-bfc1-08002be10318}",
    # The network cards of the host, dropped at the first start of a copy.
    "hklm\\software\\microsoft\\windows nt\\currentversion\\networkcards",
)


def diff_snapshots(before, after, ignore=()):
    """Readable list of changes: '+file', '-file', '~file', '+key', '-key', and
    '~key\\value' / '+key\\value' / '-key\\value' for values.  Keys beginning with one
    of `ignore` (in lower case; a key, or a key and a value name) are left out."""
    changes = []
    for lower in sorted(set(before.files) | set(after.files)):
        old, new = before.files.get(lower), after.files.get(lower)
        if old is None:
            changes.append("+C:\\" + new[0])
        elif new is None:
            changes.append("-C:\\" + old[0])
        elif old[1:] != new[1:]:
            changes.append("~C:\\" + new[0])
    for lower in sorted(set(before.registry) | set(after.registry)):
        if _ignored_key(lower):
            continue
        old, new = before.registry.get(lower), after.registry.get(lower)
        if old is None:
            changes.append("+" + new[0])
            continue
        if new is None:
            changes.append("-" + old[0])
            continue
        for value in sorted(set(old[1]) | set(new[1])):
            a, b = old[1].get(value), new[1].get(value)
            if a is None:
                changes.append("+%s\\%s" % (new[0], b[0]))
            elif b is None:
                changes.append("-%s\\%s" % (old[0], a[0]))
            elif a[1] != b[1]:
                changes.append("~%s\\%s" % (new[0], b[0]))
    return [c for c in changes if not any(c[1:].lower().startswith(p) for p in ignore)]
