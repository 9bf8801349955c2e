#!/usr/bin/python3
"""The release commands of ./dev.sh that go beyond the shell's tools.

    release.py verify-release CALLER_DIR FILE...
        ./dev.sh verify-release: rebuilds the commit that the release files
        name in a temporary worktree of this checkout and says per file
        whether it is identical or where it differs (names relative to
        CALLER_DIR); exits 0 only when every file matches
    release.py check-key --sign KEY [SIGNING...]
        ./dev.sh package --sign, before it builds: the key opens with its
        password and its certificate is valid now
    release.py package BUILD [--sign KEY [SIGNING...]]
        ./dev.sh package, after it has built BUILD: the release in
        BUILD/release, signed with KEY when given; prints the package's path
    release.py pe-time-stamp FILE
        the PE time stamp of a Windows program, in seconds since 1970
SIGNING: --timestamp URL (an RFC 3161 server); --password-on-stdin (the
password is the first line of standard input: ./dev.sh reads it once).

The standard library only: it runs before anything is built, with Debian's
/usr/bin/python3. It reads packages and signatures with the tools ./dev.sh
installs: osslsigncode, msitools (msiinfo, msidump, msiextract), openssl.
"""

import ctypes
import fnmatch
import glob
import hashlib
import os
import re
import shutil
import signal
import ssl
import struct
import subprocess
import sys
import tempfile
import time
from datetime import datetime, timezone


def die(message):
    print(f"release.py: {message}", file=sys.stderr)
    sys.exit(2)


def source_commit(data):
    """The "SourceCommit" string of the version block: in UTF-16, its key,
    a terminating zero, zero padding to four bytes, then the value."""
    key = "SourceCommit\0".encode("utf-16-le")
    at = data.find(key)
    if at < 0:
        return None
    at += len(key)
    while data[at:at + 2] == b"\0\0":
        at += 2
    end = at
    while end + 1 < len(data) and data[end:end + 2] != b"\0\0":
        end += 2
    return data[at:end].decode("utf-16-le", errors="replace")


class Pe:
    """The parts of a PE file that tell where it differs from another."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ" or len(data) < 0x40:
            raise ValueError("not a Windows program")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("not a Windows program (no PE header)")
        count, self.time_stamp = struct.unpack_from("<HI", data, pe + 6)
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        optional = pe + 24
        self.checksum_at = optional + 64
        self.time_stamp_at = pe + 8
        self.header_size = struct.unpack_from("<I", data, optional + 60)[0]
        self.sections = {}
        end = self.header_size
        for i in range(count):
            entry = optional + optional_size + 40 * i
            name = data[entry:entry + 8].rstrip(b"\0").decode("ascii", errors="replace")
            size, offset = struct.unpack_from("<II", data, entry + 16)
            self.sections[name] = data[offset:offset + size] if offset else b""
            if offset:
                end = max(end, offset + size)
        self.headers = data[:self.header_size]
        self.trailer = data[end:]

    def field(self, at):
        return self.data[at:at + 4]

    def other_headers(self):
        """The headers without the time stamp and the checksum."""
        headers = bytearray(self.headers)
        for at in (self.time_stamp_at, self.checksum_at):
            headers[at:at + 4] = bytes(4)
        return headers


def utc(seconds):
    return datetime.fromtimestamp(seconds, timezone.utc).strftime("%Y-%m-%d %H:%M:%S UTC")


def count(what):
    return f"{what} byte" if what == 1 else f"{what} bytes"


def differing_bytes(a, b):
    return sum(x != y for x, y in zip(a, b)) + abs(len(a) - len(b))


def pe_differences(theirs, ours):
    """Where THEIRS differs from OURS, in words, or an empty list."""
    found = []
    if theirs.headers != ours.headers:
        if theirs.time_stamp != ours.time_stamp:
            found.append(f"the PE time stamp ({utc(theirs.time_stamp)}, the rebuild's {utc(ours.time_stamp)})")
        if theirs.field(theirs.checksum_at) != ours.field(ours.checksum_at):
            found.append("the PE checksum")
        rest = differing_bytes(theirs.other_headers(), ours.other_headers())
        if rest:
            found.append(f"the headers ({count(rest)})")
    for name in list(ours.sections) + [n for n in theirs.sections if n not in ours.sections]:
        if name not in theirs.sections or name not in ours.sections:
            found.append(f"section {name} ({'not in the rebuild' if name in theirs.sections else 'missing'})")
        elif theirs.sections[name] != ours.sections[name]:
            a, b = theirs.sections[name], ours.sections[name]
            if len(a) == len(b):
                found.append(f"{name} ({count(differing_bytes(a, b))})")
            else:
                found.append(f"{name} ({count(len(a))}, the rebuild's {count(len(b))})")
    if theirs.trailer != ours.trailer:
        found.append(f"data after the sections ({count(len(theirs.trailer))}, "
                     f"the rebuild's {count(len(ours.trailer))})")
    return found


def read(path):
    try:
        with open(path, "rb") as file:
            return file.read()
    except OSError as error:
        die(f"{path}: {error.strerror}")


# What the commands say goes to standard error as ./dev.sh says it,
# "[dev] ...", and a refusal as "[dev] error: ..." with exit status 1;
# standard output has only their results.

def say(message):
    print(f"[dev] {message}", file=sys.stderr, flush=True)


def refuse(message):
    say(f"error: {message}")
    sys.exit(1)


def run(*args, cwd=None):
    """A tool's exit status and its standard output and error, together."""
    done = subprocess.run(args, cwd=cwd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                          stderr=subprocess.STDOUT)
    return done.returncode, done.stdout.decode(errors="replace")


def succeeds(*args, cwd=None):
    return run(*args, cwd=cwd)[0] == 0


def same(a, b):
    """Both files there, with the same bytes."""
    try:
        with open(a, "rb") as first, open(b, "rb") as second:
            return first.read() == second.read()
    except OSError:
        return False


def exchange(a, b):
    """renameat2(RENAME_EXCHANGE): at every moment each name is one of the
    two folders, whole."""
    libc = ctypes.CDLL(None, use_errno=True)
    at_fdcwd, rename_exchange = -100, 2
    if libc.renameat2(at_fdcwd, os.fsencode(a), at_fdcwd, os.fsencode(b), rename_exchange) != 0:
        error = ctypes.get_errno()
        raise OSError(error, os.strerror(error))


# ./dev.sh package, once the build is made.

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))  # the checkout this script is in


def cache_value(build, name):
    """A value of the build's CMakeCache.txt ("NAME:TYPE=value"), or ""."""
    try:
        with open(f"{build}/CMakeCache.txt", errors="replace") as cache:
            for line in cache:
                found = re.match(rf"{re.escape(name)}:[A-Z]+=(.*)", line)
                if found:
                    return found.group(1)
    except OSError:
        pass
    return ""


def package_saver(source, build, saver, output, quiet=False):
    """The package that SOURCE's installer/package.py makes of SAVER with the
    arguments of the build in BUILD (a signed saver's package; the package a
    signed release's saver is checked in). Its messages go to standard error,
    or nowhere when QUIET."""
    done = subprocess.run([cache_value(build, "LUMIDIAL_PYTHON") or "/usr/bin/python3",
                           f"{source}/installer/package.py", f"@{build}/installer/msi.args",
                           "--saver", saver, "--output", output], stdin=subprocess.DEVNULL,
                          stdout=subprocess.DEVNULL if quiet else sys.stderr.fileno(),
                          stderr=subprocess.DEVNULL if quiet else None)
    return done.returncode == 0


class Signer:
    """The key and certificate in KEY.p12, its password (None for a key
    without one) and the time-stamp server, if any. The password reaches
    openssl and osslsigncode through pipes, never on a command line."""

    def __init__(self, args):
        self.key = self.password = self.timestamp = None
        while args:
            option, *args = args
            if option == "--password-on-stdin":
                self.password = sys.stdin.buffer.readline().removesuffix(b"\n")
            elif option in ("--sign", "--timestamp") and args:
                value, *args = args
                setattr(self, "key" if option == "--sign" else "timestamp", value)
            else:
                die(__doc__)

    def check(self):
        """Before anything is built: the key opens with its password, and
        its certificate is valid now; says what is wrong if not."""
        key = self.key
        if not os.path.exists(key):
            refuse(f"signing key {key}: no such file")
        if not (os.path.isfile(key) and os.access(key, os.R_OK)):
            refuse(f"signing key {key}: not a readable file")
        passin = ["-passin", "pass:" if self.password is None else "stdin"]
        # Keys exported with the old algorithms (RC2, 3DES) need OpenSSL's
        # legacy provider; tried second.
        for legacy in ([], ["-legacy"]):
            opened = subprocess.run(["openssl", "pkcs12", *legacy, "-in", key, "-nokeys", "-clcerts", *passin],
                                    input=(self.password or b"") + b"\n", capture_output=True)
            if opened.returncode == 0:
                break
        else:
            if self.password is not None:
                refuse(f"signing key {key}: cannot be opened with the password given (wrong password, "
                       "or not a PKCS#12 file)")
            refuse(f"signing key {key}: cannot be opened without a password (give it with --password-file FILE "
                   "or in LUMIDIAL_SIGN_PASSWORD), or not a PKCS#12 file")
        if b"BEGIN CERTIFICATE" not in opened.stdout:
            refuse(f"signing key {key}: holds no certificate of its own key")
        dates = subprocess.run(["openssl", "x509", "-noout", "-startdate", "-enddate"], input=opened.stdout,
                               capture_output=True).stdout.decode(errors="replace")
        dates = dict(line.split("=", 1) for line in dates.splitlines() if "=" in line)
        try:
            not_before, not_after = dates["notBefore"], dates["notAfter"]
            expired = ssl.cert_time_to_seconds(not_after) <= time.time()
            early = ssl.cert_time_to_seconds(not_before) > time.time()
        except (KeyError, ValueError):
            refuse(f"signing key {key}: its certificate's dates cannot be read")
        if expired:
            refuse(f"signing key {key}: its certificate expired on {not_after}")
        if early:
            refuse(f"signing key {key}: its certificate is not valid before {not_before}")

    def sign(self, source, output):
        """Authenticode, SHA-256, time-stamped when a server was given.
        osslsigncode writes OUTPUT only when it succeeds."""
        options, fds = [], ()
        if self.password is not None:
            read_end, write_end = os.pipe()
            os.write(write_end, self.password)
            os.close(write_end)
            options, fds = ["-readpass", f"/dev/fd/{read_end}"], (read_end,)
        if self.timestamp:
            options += ["-ts", self.timestamp]
        done = subprocess.run(["osslsigncode", "sign", "-pkcs12", self.key, *options, "-h", "sha256",
                               "-n", "Lumidial screen saver", "-in", source, "-out", output],
                              pass_fds=fds, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        for fd in fds:
            os.close(fd)
        if done.returncode != 0:
            sys.stderr.write(done.stdout.decode(errors="replace").rstrip("\n") + "\n")
            server = f" (time-stamp server {self.timestamp})" if self.timestamp else ""
            refuse(f"signing {os.path.basename(source)} failed{server}: nothing was replaced")


def umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


def copy(source, target):
    """As cp makes it: the source's mode, less the umask."""
    shutil.copyfile(source, target)
    os.chmod(target, os.stat(source).st_mode & 0o777 & ~umask())


def package(build, signer):
    """The release in BUILD/release: the MSI package, the Lumidial.scr inside
    it and SHA256SUMS of both, signed when asked; prints the package's path.
    The release is made in a folder beside it and takes the old one's place
    only when it is complete: a failure leaves the previous release as it
    was."""
    version = cache_value(build, "CMAKE_PROJECT_VERSION")
    msi_name = f"Lumidial-{version}-x64.msi"
    msi, scr = f"{build}/{msi_name}", f"{build}/Lumidial.scr"
    if not version or not os.path.isfile(msi):
        refuse(f"no package in {build}")
    with open(f"{build}/installer/msi.args") as file:
        args = file.read().split("\n")
    epoch = args[args.index("--epoch") + 1]
    say(f"built from commit {args[args.index('--commit') + 1]}, source date {epoch} ({utc(int(epoch))})")

    release = f"{build}/release"
    new = tempfile.mkdtemp(prefix=".release.", dir=build)
    try:
        os.chmod(new, 0o777 & ~umask())  # as mkdir makes it
        if signer is None:
            copy(scr, f"{new}/Lumidial.scr")
            copy(msi, f"{new}/{msi_name}")
        else:
            say(f"signing Lumidial.scr with {signer.key}")
            signer.sign(scr, f"{new}/Lumidial.scr")
            # Whoever has the unsigned build can check a signed release against it.
            if not (succeeds("osslsigncode", "remove-signature", "-in", f"{new}/Lumidial.scr",
                             "-out", f"{new}/stripped.scr") and same(f"{new}/stripped.scr", scr)):
                refuse("the signed Lumidial.scr without its signature is not the unsigned one")
            os.remove(f"{new}/stripped.scr")
            say("packaging the signed Lumidial.scr")
            if not package_saver(ROOT, build, f"{new}/Lumidial.scr", f"{new}/unsigned.msi"):
                refuse("packaging the signed Lumidial.scr failed")
            say("signing the package")
            signer.sign(f"{new}/unsigned.msi", f"{new}/{msi_name}")
            os.remove(f"{new}/unsigned.msi")
        try:
            with open(f"{new}/SHA256SUMS", "w") as sums:
                for name in (msi_name, "Lumidial.scr"):
                    sums.write(f"{hashlib.sha256(read(f'{new}/{name}')).hexdigest()}  {name}\n")
        except OSError:
            refuse("could not write SHA256SUMS")
        # The new release takes the old one's place in one step: the two
        # folders are swapped, so that an interruption at any moment leaves
        # one whole release at BUILD/release; NEW then holds the previous one.
        try:
            if os.path.exists(release):
                exchange(new, release)
            else:
                os.rename(new, release)
        except OSError as error:
            refuse(f"could not move the release into {release} ({error.strerror})")
    finally:
        shutil.rmtree(new, ignore_errors=True)
    print(f"{shell_path(release)}/{msi_name}")


def shell_path(path):
    """PATH made absolute as the shell's pwd names it (symbolic links kept)."""
    here = os.environ.get("PWD", "")
    if not (here.startswith("/") and os.path.isdir(here) and os.path.samefile(here, ".")):
        here = os.getcwd()
    return os.path.normpath(os.path.join(here, path))


# ./dev.sh verify-release.

def shell_dirname(name):
    """The folder part of a name as dirname(1) gives it ("." for none)."""
    head = os.path.dirname(name.rstrip("/")).rstrip("/")
    return head or ("/" if name.startswith("/") else ".")


def files_below(folder):
    return {os.path.relpath(os.path.join(top, name), folder)
            for top, _, names in os.walk(folder) for name in names
            if os.path.isfile(os.path.join(top, name))}


def sums_lines(path):
    """The lines of a SHA256SUMS file. A last line without its newline
    counts, as it does for sha256sum -c."""
    with open(path, "rb") as file:
        return file.read().decode(errors="surrogateescape").removesuffix("\n").split("\n")


def sums_entries(path):
    """(sum, file name) of each line of a SHA256SUMS file ("*" marks binary
    mode in sha256sum's format, not part of the name)."""
    for line in sums_lines(path):
        fields = re.split(r"[ \t]+", line.strip(" \t"), maxsplit=1) + [""]
        yield fields[0], fields[1].removeprefix("*")


def listed_names(path):
    """The second word of each line of a SHA256SUMS file, as written."""
    return [(line.split() + ["", ""])[1] for line in sums_lines(path)]


def signer_of(certificates):
    """The certificate that issued none of the others in openssl's list
    (subject= and issuer= lines): who signed."""
    subjects, issuers = {}, []
    for line in certificates.split("\n"):
        if line.startswith("subject="):
            subjects[len(issuers)] = line[len("subject="):]
        elif line.startswith("issuer="):
            issuers.append(line[len("issuer="):])
    for a, issuer in enumerate(issuers):
        if not any(b != a and other == subjects.get(a, "") for b, other in enumerate(issuers)):
            return f"{subjects.get(a, '')} (issued by {issuer})"
    return ""


def pe_difference(theirs, ours):
    """Where two Windows programs differ, or nothing when they do not."""
    theirs, ours = read(theirs), read(ours)
    if theirs == ours:
        return ""
    try:
        return ", ".join(pe_differences(Pe(theirs), Pe(ours)))
    except (ValueError, struct.error) as error:
        return str(error)


def stop_group(process):
    """Ends the process group PROCESS leads and waits until all of it has
    gone (asked first, then told after a minute)."""
    try:
        os.killpg(process.pid, signal.SIGTERM)
        process.wait()
        for _ in range(600):
            os.killpg(process.pid, 0)
            time.sleep(0.1)
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


MSI_MAGIC = bytes.fromhex("d0cf11e0a1b11ae1")  # a compound file, as Windows Installer packages are


class Verification:
    """The files to check, the commit they name, and the rebuild's folder."""

    def __init__(self, root, caller_dir):
        self.root, self.caller_dir = root, caller_dir
        self.files = []  # (name as the user gave it, path, "scr" | "msi" | "sums")
        self.seen = set()
        self.work = None
        self.error = ""  # why osslsigncode could not read a file

    def add(self, name):
        """A file by its content, not its name: downloads get renamed."""
        path = name if name.startswith("/") else f"{self.caller_dir}/{name}"
        if not (os.path.isfile(path) and os.access(path, os.R_OK)):
            refuse(f"{name}: not a readable file")
        real = os.path.realpath(path)
        if real in self.seen:
            return
        self.seen.add(real)
        data = read(path)
        if data[:2] == b"MZ":
            kind = "scr"
        elif data[:8] == MSI_MAGIC:
            kind = "msi"
        elif re.search(rb"(?m)^[0-9a-fA-F]{64} [ *]", data):
            kind = "sums"
        else:
            refuse(f"{name}: neither a Windows program, a Windows Installer package nor a SHA256SUMS file")
        self.files.append((name, path, kind))

    def add_listed(self):
        """The files a SHA256SUMS lists beside it are part of the release."""
        listed = []
        for name, path, kind in self.files:
            if kind == "sums":
                for _, entry in sums_entries(path):
                    if os.path.isfile(f"{os.path.dirname(path)}/{entry}"):
                        shown = f"{shell_dirname(name)}/{entry}"
                        listed.append(shown[2:] if shown.startswith("./") else shown)
        for name in listed:
            self.add(name)

    @staticmethod
    def named_commit(kind, path):
        if kind == "scr":
            return source_commit(read(path)) or ""
        _, table = run("msiinfo", "export", path, "Property")
        rows = [line.split("\t") for line in table.replace("\r", "").split("\n")]
        return "\n".join((row + [""])[1] for row in rows if row[0] == "LumidialSourceCommit")

    def commit(self):
        """The one commit the files name; refuses what no commit rebuilds."""
        commit = first = ""
        for name, path, kind in self.files:
            if kind == "sums":
                continue
            named = self.named_commit(kind, path)
            if not named:
                refuse(f"{name}: names no commit it was built from (not a Lumidial release, "
                       "or one made before releases named it)")
            if not commit:
                commit, first = named, name
            elif named != commit:
                refuse(f"the files name different commits: {first} names {commit}, {name} names {named}")
        if not commit:
            refuse("no Lumidial.scr or package among the files: nothing names the commit to rebuild")
        if commit == "unknown":
            refuse(f"{first} was built from a source tree without git: it names no commit to rebuild")
        if commit.endswith("-dirty"):
            refuse(f"{first} was built from commit {commit.removesuffix('-dirty')} with changes that were "
                   "never committed: no commit rebuilds it")
        if not re.fullmatch(r"[0-9a-f]{40}", commit):
            refuse(f'{first} names "{commit}", which is not a commit id')
        git = subprocess.run(["git", "-C", self.root, "rev-parse", "--git-dir"],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        if git.returncode != 0:
            refuse(f"verify-release rebuilds the commit from this checkout, but git cannot read {self.root}: "
                   f"{git.stderr.decode(errors='replace').rstrip()}")
        if not succeeds("git", "-C", self.root, "cat-file", "-e", f"{commit}^{{commit}}"):
            refuse(f"commit {commit}, which {first} was built from, is not in this checkout ({self.root}): "
                   "fetch it (git fetch), or run verify-release in a clone that has it")
        return commit

    def rebuild(self, commit, jobs):
        """The commit's own ./dev.sh package, as whoever made the release ran
        it, in a worktree; its build's output is the progress shown meanwhile.
        The commit's time is the source date: a release names the commit, and
        the commit says when it was made, whatever the checkout's HEAD."""
        _, epoch = run("git", "-C", self.root, "log", "-1", "--format=%ct", commit)
        epoch = epoch.strip()
        shown = tempfile.mkdtemp(prefix="lumidial-verify.", dir=os.environ.get("TMPDIR") or "/tmp")
        self.work = os.path.abspath(shown)
        sys.stderr.flush()
        if subprocess.run(["git", "-C", self.root, "worktree", "add", "--detach", "-q", f"{self.work}/src", commit],
                          stdout=sys.stderr.fileno()).returncode != 0:
            refuse(f"cannot check out commit {commit} into {shown}/src")
        say(f"rebuilding commit {commit} with its source date {epoch} ({utc(int(epoch))}) in {shown}")
        env = dict(os.environ, SOURCE_DATE_EPOCH=epoch, LUMIDIAL_WIN64_BUILD=f"{self.work}/build", JOBS=jobs)
        env.pop("LUMIDIAL_SIGN_PASSWORD", None)
        # In a process group of its own, so that an interruption ends all of
        # it before its folder is removed.
        build = subprocess.Popen(["./dev.sh", "package"], cwd=f"{self.work}/src", env=env,
                                 stdout=subprocess.DEVNULL, process_group=0)
        try:
            status = build.wait()
        except BaseException:
            stop_group(build)
            raise
        if status != 0:
            refuse(f"building commit {commit} failed")

    def clean_up(self):
        if self.work:
            succeeds("git", "-C", self.root, "worktree", "remove", "--force", f"{self.work}/src")
            shutil.rmtree(self.work, ignore_errors=True)
            succeeds("git", "-C", self.root, "worktree", "prune")

    def strip_signature(self, kind, path, out):
        """0 when PATH was signed (OUT is PATH without its signature), 1 when
        it was not, 2 when osslsigncode cannot read it (self.error says why)."""
        # osslsigncode says so of a program, but not of a package, without one.
        if kind == "msi" and not re.search(r"(?m)^.DigitalSignature$", run("msiinfo", "streams", path)[1]):
            return 1
        status, log = run("osslsigncode", "remove-signature", "-in", path, "-out", out)
        if status == 0:
            return 0
        if "No signature found" in log:
            return 1
        self.error = next((line for line in log.rstrip("\n").split("\n") if not line.startswith("PE checksum")), "")
        return 2

    def signature_report(self, path):
        """Who signed PATH and whether the signature verifies against this
        system's certificate authorities. An untrusted certificate is no
        difference from the commit: it is said, not counted."""
        pem, signer = f"{self.work}/signature.pem", ""
        if succeeds("osslsigncode", "extract-signature", "-pem", "-in", path, "-out", pem):
            signer = signer_of(run("openssl", "pkcs7", "-in", pem, "-print_certs", "-noout")[1])
        if os.path.exists(pem):
            os.remove(pem)
        _, log = run("osslsigncode", "verify", "-in", path)
        if "Signature verification: ok" in log:
            verdict = "the signature verifies"
        elif "MISMATCH" in log:
            verdict = "the signature does not verify: the file was changed after it was signed"
        else:
            errors = [m.group(1) for m in re.finditer(r"(?m)^[ \t\r\f\v]*Error: (.*)$", log)]
            verdict = f"the signature does not verify here: {(errors + [''])[0]}"
        print(f"  signed by {signer or 'an unreadable certificate'}: {verdict} (osslsigncode verify)")

    def package_differences(self, theirs, ours):
        """The tables and streams in which two packages differ, and for the
        cabinet, the files in it; the cabinet (what the package installs)
        first."""
        folder = tempfile.mkdtemp(prefix="compare.", dir=self.work)
        for side in ("theirs", "ours"):
            os.mkdir(f"{folder}/{side}")
        if not (succeeds("msidump", "-s", "-t", "-d", f"{folder}/theirs", theirs)
                and succeeds("msidump", "-s", "-t", "-d", f"{folder}/ours", ours)):
            return "not a package msidump can read"
        found = []
        for name in sorted(files_below(f"{folder}/theirs") | files_below(f"{folder}/ours"), key=os.fsencode):
            if same(f"{folder}/theirs/{name}", f"{folder}/ours/{name}"):
                continue
            if fnmatch.fnmatchcase(name, "_Streams/*.cab"):
                found.insert(0, f"stream {name.removeprefix('_Streams/')} ({self.cabinet_differences(theirs, ours)})")
            elif name == "_SummaryInformation.idt":
                found.append("the summary information")
            elif fnmatch.fnmatchcase(name, "_Streams/?SummaryInformation"):
                pass  # the summary information once more, as a stream
            elif name.endswith(".idt"):
                found.append(f"table {name.removesuffix('.idt')}")
            elif name.startswith("_Streams/"):
                found.append(f"stream {name.removeprefix('_Streams/')}")
        return ", ".join(found)

    def cabinet_differences(self, theirs, ours):
        """The files that differ between two packages' cabinets."""
        folder = tempfile.mkdtemp(prefix="cabinet.", dir=self.work)
        for side in ("theirs", "ours"):
            os.mkdir(f"{folder}/{side}")
        if succeeds("msiextract", os.path.abspath(theirs), cwd=f"{folder}/theirs"):
            succeeds("msiextract", os.path.abspath(ours), cwd=f"{folder}/ours")
        found = []
        for name in sorted(files_below(f"{folder}/theirs") | files_below(f"{folder}/ours")):
            a, b = f"{folder}/theirs/{name}", f"{folder}/ours/{name}"
            if not (os.path.isfile(a) and os.path.isfile(b)):
                found.append(f"{name} only in {'the rebuild' if os.path.isfile(b) else 'it'}")
            elif not same(a, b):
                found.append(f"its {name}: {pe_difference(a, b)}" if name.endswith(".scr") else f"its {name}")
        return "; ".join(found or ["the cabinet itself"])

    def said(self, name, path, commit, difference, signed, identical):
        """A file's line (IDENTICAL follows "identical to commit ..." when it
        was signed), then its signature's; True when it matches."""
        print(f"{name}: differs from commit {commit}: {difference}" if difference else
              f"{name}: identical to commit {commit}{identical if signed else ''}")
        if signed:
            self.signature_report(path)
        return not difference

    def verify_scr(self, name, path, index, commit, ours):
        theirs = f"{self.work}/theirs-{index}.scr"
        status = self.strip_signature("scr", path, theirs)
        difference = (f"not a Windows program osslsigncode can read ({self.error})" if status == 2 else
                      pe_difference(theirs if status == 0 else path, f"{ours}/Lumidial.scr"))
        return self.said(name, path, commit, difference, status == 0, ", without its signature")

    def verify_msi(self, name, path, index, commit, ours):
        """An unsigned package is compared byte for byte. A signed one holds
        the signed saver: the saver without its signature is compared with
        the rebuild's, and the package without its signature with the one
        the commit's package.py makes of that saver, by their tables and
        streams (removing a signature rewrites the compound file around
        them)."""
        folder = f"{self.work}/msi-{index}"
        os.makedirs(f"{folder}/files")
        ours_msi = " ".join(sorted(glob.glob(f"{glob.escape(ours)}/*.msi"))) or f"{ours}/*.msi"
        status = self.strip_signature("msi", path, f"{folder}/stripped.msi")
        found = []
        if status == 0:
            succeeds("msiextract", path, cwd=f"{folder}/files")
            savers = sorted(f"{top}/{n}" for top, _, names in os.walk(f"{folder}/files")
                            for n in names if n == "Lumidial.scr")
            if not savers:
                found.append("it holds no Lumidial.scr")
            else:
                if self.strip_signature("scr", savers[0], f"{folder}/saver.scr") != 0:
                    shutil.copyfile(savers[0], f"{folder}/saver.scr")
                difference = pe_difference(f"{folder}/saver.scr", f"{ours}/Lumidial.scr")
                if difference:
                    found.append(f"its Lumidial.scr: {difference}")
                if package_saver(f"{self.work}/src", f"{self.work}/build", savers[0], f"{folder}/remade.msi",
                                 quiet=True):
                    difference = self.package_differences(f"{folder}/stripped.msi", f"{folder}/remade.msi")
                    if difference:
                        found.append(difference)
                else:
                    found.append("the commit's package.py cannot package its Lumidial.scr")
        elif status == 1:
            if not same(path, ours_msi):
                found.append(self.package_differences(path, ours_msi)
                             or "the same tables and streams in another compound file")
        else:
            found.append(f"not a package osslsigncode can read ({self.error})")
        return self.said(name, path, commit, "; ".join(found), status == 0,
                         ", its tables and streams without its signature")

    @staticmethod
    def verify_sums(name, path, commit, ours):
        """The rebuild's SHA256SUMS, or (for a signed release) the sums of
        the release's files beside it, which have lines of their own. The
        rebuild's own sums pass only with every file they list beside them:
        a download whose saver was removed is not the commit's release."""
        if same(path, f"{ours}/SHA256SUMS") and all(
                os.path.isfile(f"{os.path.dirname(path)}/{entry}") for _, entry in sums_entries(path)):
            print(f"{name}: identical to commit {commit}")
            return True
        found = []
        for digest, entry in sums_entries(path):
            beside = f"{os.path.dirname(path)}/{entry}"
            if not os.path.isfile(beside):
                found.append(f"{entry} is not beside it")
            else:
                try:
                    with open(beside, "rb") as file:
                        right = hashlib.sha256(file.read()).hexdigest() == digest.lower()
                except OSError:
                    right = False
                if not right:
                    found.append(f"the sum of {entry} is not that file's")
        theirs_listed, ours_listed = listed_names(path), listed_names(f"{ours}/SHA256SUMS")
        if sorted(theirs_listed) != sorted(ours_listed):
            found.append(f"it lists {' '.join(filter(None, theirs_listed))}, "
                         f"the rebuild {' '.join(filter(None, ours_listed))}")
        if not found:
            print(f"{name}: the right sums of the files beside it, whose own lines say how they compare")
            return True
        print(f"{name}: differs from commit {commit}: {'; '.join(found)}")
        return False


def verify_release(caller_dir, names):
    verification = Verification(ROOT, caller_dir)
    try:
        for name in names:
            verification.add(name)
        verification.add_listed()
        commit = verification.commit()
        verification.rebuild(commit, os.environ.get("JOBS") or "2")
        ours, matches = f"{verification.work}/build/release", True
        for index, (name, path, kind) in enumerate(verification.files):
            if kind == "scr":
                matches &= verification.verify_scr(name, path, index, commit, ours)
            elif kind == "msi":
                matches &= verification.verify_msi(name, path, index, commit, ours)
            else:
                matches &= verification.verify_sums(name, path, commit, ours)
        if not matches:
            say(f"some files differ from commit {commit}")
            sys.exit(1)
        say(f"every file matches commit {commit}")
    finally:
        verification.clean_up()


def main():
    # Lines as they come, between the build's progress on standard error;
    # file names as the user's system spells them.
    sys.stdout.reconfigure(line_buffering=True, errors="surrogateescape")
    sys.stderr.reconfigure(errors="surrogateescape")
    # Interrupted, a command removes what it made all the same (with the
    # exit statuses a shell gives).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    command, args = (sys.argv[1], sys.argv[2:]) if len(sys.argv) > 1 else ("", [])
    try:
        if command == "verify-release" and len(args) >= 2:
            verify_release(args[0], args[1:])
        elif command == "check-key":
            Signer(args).check()
        elif command == "pe-time-stamp" and len(args) == 1:
            print(Pe(read(args[0])).time_stamp)
        elif command == "package" and args:
            signer = Signer(args[1:])
            package(args[0], signer if signer.key else None)
        else:
            die(__doc__)
    except KeyboardInterrupt:
        sys.exit(130)


if __name__ == "__main__":
    main()
