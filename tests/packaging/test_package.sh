#!/usr/bin/env bash
# Makes the Debian package from this build tree with cpack, unpacks it into a
# temporary root with dpkg-deb and checks it as a user's system would see it:
# the control fields, the file list, the unpacked quorvel-cli, the desktop
# entry, the AppStream metainfo and the man pages.
# Usage: test_package.sh CPACK BUILD_DIR VERSION
set -uo pipefail
cpack=$1 build=$2 version=$3
export LC_ALL=C.UTF-8

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

if ! "$cpack" --config "$build/CPackConfig.cmake" -B "$tmp/out" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log"
    echo "FAIL: cpack did not make the package"
    exit 1
fi
deb=$tmp/out/quorvel_${version}_$(dpkg --print-architecture).deb
if [[ ! -f $deb ]]; then
    echo "FAIL: cpack made $(cd "$tmp/out" && echo *.deb), not $(basename "$deb")"
    exit 1
fi

# Control fields: the project's version, and dependencies that dpkg-shlibdeps
# found in the binaries.
[[ $(dpkg-deb -f "$deb" Package) == quorvel ]] || fail "Package is not quorvel"
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] ||
    fail "Version is $(dpkg-deb -f "$deb" Version), not $version"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libqt6core6 libqt6widgets6 libxxhash0; do
    [[ $depends =~ (^|, )$library( |,|$) ]] || fail "Depends lacks $library: $depends"
done

root=$tmp/root
dpkg-deb -x "$deb" "$root"
expected="./usr/bin/quorvel
./usr/bin/quorvel-cli
./usr/share/applications/quorvel.desktop
./usr/share/bash-completion/completions/quorvel-cli
./usr/share/doc/quorvel/copyright
./usr/share/icons/hicolor/16x16/apps/quorvel.png
./usr/share/icons/hicolor/32x32/apps/quorvel.png
./usr/share/icons/hicolor/48x48/apps/quorvel.png
./usr/share/icons/hicolor/scalable/apps/quorvel.svg
./usr/share/man/man1/quorvel-cli.1.gz
./usr/share/man/man1/quorvel.1.gz
./usr/share/metainfo/com.norvesta.quorvel.metainfo.xml
./usr/share/zsh/vendor-completions/_quorvel-cli"
files=$(cd "$root" && find . ! -type d | sort)
[[ $files == "$expected" ]] ||
    fail "the package's files differ from the expected list:
$(diff <(echo "$expected") <(echo "$files"))"

got=$("$root/usr/bin/quorvel-cli" --version 2>&1)
[[ $got == "quorvel-cli $version" ]] || fail "unpacked quorvel-cli --version printed: $got"

desktop=$root/usr/share/applications/quorvel.desktop
out=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $out"
# "Open With" on several files passes them all: %F, not %f.
grep -qx 'Exec=quorvel %F' "$desktop" || fail "the desktop entry's Exec does not take %F"
grep -qx 'MimeType=audio/mpeg;' "$desktop" || fail "the desktop entry lacks MimeType=audio/mpeg;"

metainfo=$root/usr/share/metainfo/com.norvesta.quorvel.metainfo.xml
out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || fail "appstreamcli validate: $out"
newest=$(grep -om1 '<release version="[^"]*"' "$metainfo" | cut -d'"' -f2)
[[ $newest == "$version" ]] ||
    fail "the metainfo's newest release is $newest, not $version: add a <release>"

for page in "$root"/usr/share/man/man1/*.1.gz; do
    name=$(basename "$page")
    # man-db's seccomp sandbox fails in some containers; the page is our own.
    if ! MAN_DISABLE_SECCOMP=1 MANWIDTH=80 man --warnings=w -E UTF-8 -l "$page" >"$tmp/page.txt" 2>"$tmp/page.err"; then
        fail "man -l $name failed: $(cat "$tmp/page.err")"
    elif [[ -s $tmp/page.err ]]; then
        fail "man -l $name warns: $(cat "$tmp/page.err")"
    fi
    grep -q "Quorvel $version" "$tmp/page.txt" || fail "$name does not show the version $version"
done

if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "quorvel_${version} package as expected"
