"""What a program did to files, read from strace's logs: one log per process (-ff, so that no
call is split across lines by another process's), with paths beside fds (-y)."""

import glob
import hashlib
import os
import re

# Every call that can create, change or remove a file or its name, and the opens.
TRACED = ("open,openat,openat2,creat,rename,renameat,renameat2,unlink,unlinkat,truncate,"
          "ftruncate,fallocate,mkdir,mkdirat,rmdir,link,linkat,symlink,symlinkat,chmod,fchmod,"
          "fchmodat,chown,fchown,lchown,fchownat,utime,utimes,utimensat,futimesat,mknod,mknodat")


def strace_command(log_prefix):
    return ["strace", "-ff", "-qq", "-y", "-s", "4096", "-o", log_prefix, "-e", "trace=" + TRACED]


WRITE_FLAGS = ("O_WRONLY", "O_RDWR", "O_CREAT", "O_TRUNC", "O_APPEND", "O_TMPFILE")

_LINE = re.compile(r"^(\w+)\((.*)\)\s+=\s+(-?\d+|\?)(.*)$")
_STRING = re.compile(r'"((?:[^"\\]|\\.)*)"')
_FD_PATH = re.compile(r"^-?\d+<(.*)>$")


class Call:
    def __init__(self, pid, name, args, result, rest, line):
        self.pid, self.name, self.args, self.result, self.rest, self.line = (
            pid, name, args, result, rest, line)

    @property
    def succeeded(self):
        return self.result not in ("?",) and not self.result.startswith("-")

    def __repr__(self):
        return self.line


def _unescape(text):
    """strace prints non-ASCII bytes as \\ooo or \\xhh escapes; give back the real name."""
    raw = bytearray()
    i = 0
    data = text.encode("utf-8", "surrogateescape")
    while i < len(data):
        c = data[i]
        if c == 0x5C and i + 1 < len(data):  # backslash
            nxt = chr(data[i + 1])
            if nxt == "x":
                raw.append(int(data[i + 2:i + 4], 16))
                i += 4
                continue
            if nxt.isdigit():
                j = i + 1
                while j < len(data) and j < i + 4 and chr(data[j]).isdigit():
                    j += 1
                raw.append(int(data[i + 1:j], 8))
                i = j
                continue
            raw.append({"n": 10, "t": 9, "r": 13, "\\": 92, '"': 34}.get(nxt, ord(nxt)))
            i += 2
            continue
        raw.append(c)
        i += 1
    return raw.decode("utf-8", "replace")


def parse(log_prefix):
    """Every traced call of every process, from the logs PREFIX.<pid>."""
    calls = []
    for path in sorted(glob.glob(glob.escape(log_prefix) + ".*")):
        pid = int(path.rsplit(".", 1)[1])
        with open(path, encoding="utf-8", errors="surrogateescape") as f:
            for line in f:
                line = line.rstrip("\n")
                m = _LINE.match(line)
                if m:
                    calls.append(Call(pid, m.group(1), m.group(2), m.group(3), m.group(4), line))
                elif line and not line.startswith(("---", "+++")):
                    raise ValueError(f"unexpected line in {path}: {line}")
    if not calls:
        raise ValueError(f"no calls traced in {log_prefix}.*")
    return calls


def _split_args(args):
    """Top-level comma-separated arguments (strings and <…> annotations kept whole)."""
    parts, depth, quoted, current = [], 0, False, ""
    i = 0
    while i < len(args):
        c = args[i]
        if quoted:
            current += c
            if c == "\\" and i + 1 < len(args):
                current += args[i + 1]
                i += 1
            elif c == '"':
                quoted = False
        elif c == '"':
            quoted = True
            current += c
        elif c in "<[{(":
            depth += 1
            current += c
        elif c in ">]})":
            depth -= 1
            current += c
        elif c == "," and depth == 0:
            parts.append(current.strip())
            current = ""
        else:
            current += c
        i += 1
    if current.strip():
        parts.append(current.strip())
    return parts


def paths_of(call, cwd):
    """The files a call names, as absolute paths: strace names the folder of an fd, and a bare
    relative name is taken from `cwd`, the calling process's working folder."""
    args = _split_args(call.args)
    paths = []
    directory = None
    for arg in args:
        fd = _FD_PATH.match(arg) or re.match(r"^AT_FDCWD<(.*)>$", arg)
        string = _STRING.fullmatch(arg)
        if string:
            name = _unescape(string.group(1))
            if not os.path.isabs(name):
                name = os.path.join(directory if directory is not None else cwd, name)
            paths.append(os.path.normpath(name))
            directory = None
        elif fd:
            directory = _unescape(fd.group(1))
            if call.name.startswith("f") and not call.name.endswith("at"):
                paths.append(directory)  # ftruncate, fchmod…: the file itself
    return paths


def open_flags(call):
    for arg in _split_args(call.args):
        if arg.startswith("O_"):
            return arg.split("|")
    return []


def is_open(call):
    return call.name in ("open", "openat", "openat2", "creat")


def writes_to(call):
    """Whether the call can change a file: any call but an open for reading only."""
    if call.name == "creat":
        return True
    if is_open(call):
        return any(flag in WRITE_FLAGS for flag in open_flags(call))
    return True


def inside(path, folder):
    folder = os.path.normpath(folder)
    return os.path.isabs(path) and (path == folder or path.startswith(folder + os.sep))


def file_activity(log_prefix, folder, start_cwd):
    """(opens of files in `folder`, calls that could change something in `folder`)."""
    cwd = {}
    opens, changes = [], []
    for call in parse(log_prefix):
        m = re.search(r"AT_FDCWD<(.*?)>", call.args)
        if m:
            cwd[call.pid] = _unescape(m.group(1))
        for path in paths_of(call, cwd.get(call.pid, start_cwd)):
            if not inside(path, folder):
                continue
            if is_open(call):
                opens.append((path, call))
            if writes_to(call):
                changes.append((path, call))  # tried counts, whether it succeeded or not
    return opens, changes


def snapshot(folder):
    """Every name in the folder with its kind, size, times and content hash."""
    state = {}
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            path = os.path.join(root, name)
            info = os.lstat(path)
            rel = os.path.relpath(path, folder)
            entry = {"mode": info.st_mode, "size": info.st_size, "mtime": info.st_mtime_ns,
                     "ctime": info.st_ctime_ns}
            if os.path.isfile(path) and not os.path.islink(path):
                with open(path, "rb") as f:
                    entry["sha256"] = hashlib.sha256(f.read()).hexdigest()
            state[rel] = entry
    info = os.lstat(folder)
    state["."] = {"mode": info.st_mode, "mtime": info.st_mtime_ns, "ctime": info.st_ctime_ns}
    return state
