"""The release files, the same bytes from every build of the same source.

    release.py date       prints the source's date, in seconds since 1970 (SOURCE_DATE_EPOCH)
    release.py committed  fails with one line where a tracked file has uncommitted changes
    release.py dist VERSION PAGE SITE DEB OUT
                          writes the release into the folder OUT, in place of what it held

In a git checkout the source is the tracked files and its date the last commit's. In an
unpacked source archive, which has no history, the source is every file but what .gitignore
names (what builds write), and its date the newest time of those files: the archive gives
each the date of the commit it was made from.

The release: the page, qorvelin-VERSION.html; the site, qorvelin-VERSION-site.zip, whose
files unpack into qorvelin/; the package DEB; the source, qorvelin-VERSION.tar.gz, under
qorvelin-VERSION/; and SHA256SUMS. Every member of the two archives is dated
SOURCE_DATE_EPOCH (the source's date where it is not given), in the order of its path's
bytes, owned by root, readable by all and executable where the source file is.
"""

import fnmatch
import gzip
import hashlib
import io
import os
import pathlib
import shutil
import subprocess
import sys
import tarfile
import tempfile
import time
import zipfile

ROOT = pathlib.Path(__file__).resolve().parent.parent


def git(*arguments):
    return subprocess.run(["git", "-C", str(ROOT), *arguments], check=True,
                          capture_output=True, text=True).stdout


def in_checkout():
    """Whether the source is a git checkout of its own, not an archive unpacked anywhere."""
    try:
        return pathlib.Path(git("rev-parse", "--show-toplevel").strip()).resolve() == ROOT
    except (OSError, subprocess.CalledProcessError):
        return False


def ignored_by(patterns, path, is_folder):
    """Whether .gitignore's lines of the forms it uses ("/build-*/", "node_modules/") name
    the path: a leading slash anchors a pattern at the top, a trailing one takes folders only."""
    for pattern in patterns:
        if pattern.endswith("/") and not is_folder:
            continue
        pattern = pattern.rstrip("/")
        if pattern.startswith("/"):
            if fnmatch.fnmatchcase(path, pattern[1:]):
                return True
        elif fnmatch.fnmatchcase(path.rsplit("/", 1)[-1], pattern):
            return True
    return False


def source_files():
    """The source's files, relative to the top, in the order of their paths' bytes."""
    if in_checkout():
        tracked = git("ls-files", "-z").split("\0")
        # A tracked file deleted from the working tree is not part of this source.
        return sorted(path for path in tracked if path and os.path.lexists(ROOT / path))
    lines = (ROOT / ".gitignore").read_text(encoding="utf-8").splitlines()
    patterns = [line.strip() for line in lines if line.strip() and not line.startswith("#")]
    files = []
    for folder, subfolders, names in os.walk(ROOT):
        top = pathlib.Path(folder).relative_to(ROOT).as_posix()
        prefix = "" if top == "." else top + "/"
        subfolders[:] = [name for name in subfolders
                         if not ignored_by(patterns, prefix + name, is_folder=True)]
        files += [prefix + name for name in names
                  if not ignored_by(patterns, prefix + name, is_folder=False)]
    return sorted(files)


def source_date():
    if in_checkout():
        return int(git("log", "-1", "--format=%ct"))
    return max(int(os.lstat(ROOT / path).st_mtime) for path in source_files())


def release_date():
    given = os.environ.get("SOURCE_DATE_EPOCH")
    return int(given) if given else source_date()


def committed():
    if not in_checkout():
        return
    status = git("status", "--porcelain", "--untracked-files=no")
    changed = [line[3:] for line in status.splitlines()]
    if changed:
        named = ", ".join(changed[:3])
        if len(changed) > 3:
            named += f" and {len(changed) - 3} more"
        sys.exit(f"make dist: uncommitted changes in {named}; a release is made from a commit")


def write_site_zip(site, target, date):
    moment = time.gmtime(date)[:6]
    paths = sorted(path for path in site.rglob("*") if path.is_file())
    with zipfile.ZipFile(target, "w") as archive:
        for path in paths:
            member = zipfile.ZipInfo("qorvelin/" + path.relative_to(site).as_posix(), moment)
            member.create_system = 3  # Unix, so that the modes below count
            member.external_attr = (0o100644) << 16
            member.compress_type = zipfile.ZIP_DEFLATED
            archive.writestr(member, path.read_bytes(), compresslevel=9)


def write_source_tar(version, target, date):
    top = f"qorvelin-{version}/"
    with open(target, "wb") as raw, \
            gzip.GzipFile(filename="", mode="wb", fileobj=raw, compresslevel=9,
                          mtime=date) as compressed, \
            tarfile.open(fileobj=compressed, mode="w", format=tarfile.PAX_FORMAT) as archive:
        for path in source_files():
            source = ROOT / path
            if source.is_symlink():
                sys.exit(f"release.py: {path} is a symbolic link; the source holds none")
            data = source.read_bytes()
            member = tarfile.TarInfo(top + path)
            member.size = len(data)
            member.mtime = date
            member.mode = 0o755 if os.stat(source).st_mode & 0o111 else 0o644
            member.uid = member.gid = 0
            member.uname = member.gname = "root"
            archive.addfile(member, io.BytesIO(data))


def write_sums(folder):
    lines = []
    for path in sorted(folder.iterdir()):
        digest = hashlib.sha256(path.read_bytes()).hexdigest()
        lines.append(f"{digest}  {path.name}\n")
    (folder / "SHA256SUMS").write_text("".join(lines), encoding="ascii")


def dist(version, page, site, deb, out):
    date = release_date()
    out = pathlib.Path(out)
    # Written in a scratch folder outside the source, which it would otherwise become part of,
    # and then put in OUT's place, so that OUT holds a whole release or none.
    staging = pathlib.Path(tempfile.mkdtemp(prefix="qorvelin-dist."))
    try:
        shutil.copyfile(page, staging / f"qorvelin-{version}.html")
        write_site_zip(pathlib.Path(site), staging / f"qorvelin-{version}-site.zip", date)
        shutil.copyfile(deb, staging / pathlib.Path(deb).name)
        write_source_tar(version, staging / f"qorvelin-{version}.tar.gz", date)
        write_sums(staging)
        for path in staging.iterdir():
            path.chmod(0o644)
        staging.chmod(0o755)
        if out.exists():
            shutil.rmtree(out)
        out.parent.mkdir(parents=True, exist_ok=True)
        shutil.move(staging, out)
    except BaseException:
        shutil.rmtree(staging, ignore_errors=True)
        raise


def main():
    command = sys.argv[1] if len(sys.argv) > 1 else ""
    if command == "date" and len(sys.argv) == 2:
        print(source_date())
    elif command == "committed" and len(sys.argv) == 2:
        committed()
    elif command == "dist" and len(sys.argv) == 7:
        dist(*sys.argv[2:])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
