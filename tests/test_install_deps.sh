#!/usr/bin/env bash
# scripts/install-deps against a mirror in trouble: apt-get, dpkg and the kernel's answer are fakes
# on PATH and beside a copy of the script, so each case sets what fails and checks what got installed.
set -uo pipefail
source_root=$(cd "$(dirname "$0")/.." && pwd)
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
failures=0

# A sandbox: scripts/install-deps, a runs-32bit that answers $1 (yes or no), and fakes in bin/. The
# fake dpkg-query says every package is installed but those listed in state/absent; the fake apt-get
# logs its calls, fails `update` as a mirror mid-sync does while state/update-fails holds a count,
# refuses to install a package in state/unavailable, and one in state/pinned-only unless given -t.
make_sandbox() {
    box=$(mktemp -d)
    mkdir -p "$box/scripts" "$box/bin" "$box/state"
    cp "$source_root/scripts/install-deps" "$box/scripts/"
    if [ "$1" = yes ]; then
        printf '#!/bin/sh\nexit 0\n' >"$box/scripts/runs-32bit"
    else
        printf '#!/bin/sh\n[ "$1" = --kernel ] || exit 9\necho "no 32-bit kernel"\nexit 1\n' >"$box/scripts/runs-32bit"
    fi
    touch "$box/state/absent" "$box/state/unavailable" "$box/state/pinned-only" "$box/state/calls"
    echo 0 >"$box/state/update-fails"
    echo 0 >"$box/state/uid"
    cat >"$box/bin/dpkg-query" <<'EOF'
#!/bin/sh
package=$(eval echo "\${$#}")
grep -qx "$package" "$STATE/absent" && exit 1
printf installed
EOF
    cat >"$box/bin/dpkg" <<'EOF'
#!/bin/sh
case "$1" in
--print-foreign-architectures) cat "$STATE/architectures" 2>/dev/null ;;
--add-architecture) echo "$2" >>"$STATE/architectures" ;;
esac
EOF
    cat >"$box/bin/apt-get" <<'EOF'
#!/bin/bash
echo "$*" >>"$STATE/calls"
if [ "$1" = update ]; then
    left=$(cat "$STATE/update-fails")
    [ "$left" -gt 0 ] || exit 0
    echo $((left - 1)) >"$STATE/update-fails"
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 151.101.2.132 80]"
    exit 100
fi
pinned=no
packages=()
while [ $# -gt 0 ]; do
    case "$1" in
    -t) pinned=yes; shift ;;
    install|-*) ;;
    *) packages+=("$1") ;;
    esac
    shift
done
for package in "${packages[@]}"; do
    if grep -qx "$package" "$STATE/unavailable"; then
        echo "E: Unable to locate package $package"
        exit 100
    fi
    if [ $pinned = no ] && grep -qx "$package" "$STATE/pinned-only"; then
        echo "The following packages have unmet dependencies:"
        echo " libssl3:i386 : Depends: libc6:i386 but it is not going to be installed"
        echo "E: Unable to correct problems, you have held broken packages."
        exit 100
    fi
done
for package in "${packages[@]}"; do
    grep -vx "$package" "$STATE/absent" >"$STATE/absent.new"
    mv "$STATE/absent.new" "$STATE/absent"
done
EOF
    printf '#!/bin/sh\necho "$*" >>"$STATE/slept"\n' >"$box/bin/sleep"
    printf '#!/bin/sh\ncat "$STATE/uid"\n' >"$box/bin/id"
    printf '#!/bin/sh\necho C.utf8\necho ru_RU.utf8\n' >"$box/bin/locale"
    chmod +x "$box"/bin/* "$box/scripts/"*
}

# Runs the sandbox's install-deps with the given arguments; its output in $out, its status in $status.
run_install() {
    out=$(STATE="$box/state" PATH="$box/bin:$PATH" TMPDIR="$box" "$box/scripts/install-deps" "$@" 2>&1)
    status=$?
}

fail() {
    echo "FAILED: $case_name: $*"
    echo "$out" | sed 's/^/    | /'
    failures=$((failures + 1))
}
expect_status() { [ "$status" -eq "$1" ] || fail "exit status $status, not $1"; }
expect_said() { grep -qF -- "$1" <<<"$out" || fail "it did not say \"$1\""; }
expect_installed() { ! grep -qx "$1" "$box/state/absent" || fail "$1 is not installed"; }
expect_absent() { grep -qx "$1" "$box/state/absent" || fail "$1 got installed"; }
expect_calls() {
    local got
    got=$(grep -c -- "$1" "$box/state/calls")
    [ "$got" -eq "$2" ] || fail "apt-get was called $got times with \"$1\", not $2"
}

case_name="update fails as a mirror mid-sync does: the missing packages are installed anyway"
make_sandbox no
echo 99 >"$box/state/update-fails"
printf 'xdotool\nripgrep\n' >"$box/state/absent"
run_install ripgrep
expect_status 0
expect_installed xdotool
expect_installed ripgrep
expect_calls '^update' 3
expect_said "apt-get update failed 3 times (E: Failed to fetch"
expect_said "installing from the package lists there are"
[ "$(wc -l <"$box/state/slept")" -eq 2 ] || fail "it did not pause between the tries of update"
rm -rf "$box"

case_name="update fails once: it is tried again and nothing is said"
make_sandbox no
echo 1 >"$box/state/update-fails"
echo xdotool >"$box/state/absent"
run_install
expect_status 0
expect_installed xdotool
expect_calls '^update' 2
! grep -q 'failed' <<<"$out" || fail "it reported a failure that a second try mended"
rm -rf "$box"

case_name="32-bit Wine only from the release's suite: installed after the 64-bit set, pinned"
make_sandbox yes
echo 99 >"$box/state/update-fails"
printf 'wine64\nwine32:i386\n' >"$box/state/absent"
echo wine32:i386 >"$box/state/pinned-only"
run_install
expect_status 0
expect_installed wine64
expect_installed wine32:i386
grep -qx i386 "$box/state/architectures" || fail "the i386 architecture was not added"
[ "$(grep -n 'wine64' "$box/state/calls" | head -n 1 | cut -d: -f1)" -lt \
  "$(grep -n 'wine32' "$box/state/calls" | head -n 1 | cut -d: -f1)" ] || fail "32-bit Wine came before the 64-bit set"
expect_calls "install -y -q -t $suite wine32:i386" 1
expect_calls "wine64 wine32" 0
rm -rf "$box"

case_name="32-bit Wine cannot be had: the 64-bit set stays, apt's reason is shown, the run goes on"
make_sandbox yes
printf 'wine64\nwine32:i386\n' >"$box/state/absent"
echo wine32:i386 >"$box/state/unavailable"
run_install
expect_status 0
expect_installed wine64
expect_absent wine32:i386
expect_said "E: Unable to locate package wine32:i386"
expect_said "no 32-bit Wine: apt could not install wine32:i386"
ls "$box"/install-deps.*/wine32.log >/dev/null 2>&1 || fail "the log that says why is gone"
rm -rf "$box"

case_name="a 64-bit package cannot be had: a failure, with apt's reason"
make_sandbox no
echo xdotool >"$box/state/absent"
echo xdotool >"$box/state/unavailable"
run_install
expect_status 1
expect_said "E: Unable to locate package xdotool"
expect_said "could not install xdotool"
rm -rf "$box"

case_name="everything is there: apt is not called, by any user"
make_sandbox yes
echo 1000 >"$box/state/uid"
run_install
expect_status 0
[ ! -s "$box/state/calls" ] || fail "apt-get was called"
[ -z "$out" ] || fail "it said something"
rm -rf "$box"

case_name="a user who is not root: told to run it as root once"
make_sandbox no
echo 1000 >"$box/state/uid"
echo xdotool >"$box/state/absent"
run_install
expect_status 1
expect_said "missing: xdotool"
expect_said "run it once as root"
[ ! -s "$box/state/calls" ] || fail "apt-get was called"
rm -rf "$box"

case_name="a user who is not root, only 32-bit Wine missing: the run goes on without it"
make_sandbox yes
echo 1000 >"$box/state/uid"
echo wine32:i386 >"$box/state/absent"
run_install
expect_status 0
expect_said "32-bit Wine is not installed"
rm -rf "$box"

[ "$failures" -eq 0 ] && echo "install-deps: every case passed"
exit $((failures > 0))
