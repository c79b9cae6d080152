#!/usr/bin/env bash
# The whole road a user's files take, measured beside gocryptfs on the same disk in the same run: a
# container made and mounted by the device tool, and a gocryptfs folder.
#
#   scripts/bench-folder.sh [MB] [FILES]      (defaults: 200 MB, 2000 files)
#
# For each folder: one file of MB MiB written with dd bs=1M conv=fsync; both folders unmounted and
# mounted again (and the host's caches dropped when run as root); the file read back; FILES files of
# 4 KiB written (then synced), the folders remounted, `ls -l` of them, and every file read. It prints
# each figure and ours / gocryptfs as speed ratios (above 1: ours is faster).
#
# gocryptfs (Debian's package) is installed here when missing; it is the reference only. Everything
# lives in bench-folder under BENCH_DIR (default: the repository's build folder), removed at the end.
set -euo pipefail
shopt -s inherit_errexit
export LC_ALL=C
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
megabytes="${1:-200}"
files="${2:-2000}"
password="bench-folder-password"
work="${BENCH_DIR:-$root/build}/bench-folder"
tool="$root/build/platform/tools/device/ferrovane-device"
export DEVICE_ROOT="$work/device"
ours="$DEVICE_ROOT/store/Bench"
cipher="$work/gocryptfs-cipher"
theirs="$work/gocryptfs-plain"
mount_pid=""

say() { printf '%s\n' "$*" >&2; }
die() {
    say "bench-folder: $*"
    exit 1
}

as_root() {
    if [[ "$(id -u)" -eq 0 ]]; then "$@"; else sudo "$@"; fi
}

install_gocryptfs() {
    command -v gocryptfs >/dev/null && return
    say "Installing gocryptfs (the reference)"
    export DEBIAN_FRONTEND=noninteractive
    as_root apt-get update -qq >/dev/null
    as_root apt-get install -y -qq --no-install-recommends gocryptfs >/dev/null
}

build() {
    if [[ -f "$root/build/CMakeCache.txt" ]]; then
        "$root/scripts/build.sh" build >/dev/null
    else
        "$root/scripts/setup.sh"
        "$root/scripts/build.sh" build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
}

# The mount command unmounts on SIGTERM; one that has not ended after 30 s is killed.
unmount_ours() {
    [[ -n "$mount_pid" ]] || return 0
    kill -TERM "$mount_pid" 2>/dev/null || true
    for _ in $(seq 300); do
        kill -0 "$mount_pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -KILL "$mount_pid" 2>/dev/null || true
    wait "$mount_pid" 2>/dev/null || true
    mount_pid=""
}

unmount_theirs() {
    mountpoint -q "$theirs" 2>/dev/null || return 0
    fusermount3 -u "$theirs" 2>/dev/null || fusermount -u "$theirs" 2>/dev/null || umount "$theirs"
}

# Also clears what an earlier run that was killed may have left: its mount command (through the
# device tool's own record of it) and whatever is still mounted under the work folder.
cleanup() {
    unmount_ours
    unmount_theirs
    if [[ -d "$DEVICE_ROOT" && -x "$tool" ]]; then
        "$tool" unmount Bench >/dev/null 2>&1 || true
    fi
    local target
    while read -r target; do
        target="$(printf '%b' "$target")"
        if [[ "$target" == "$work"/* ]]; then
            fusermount3 -uz "$target" 2>/dev/null || umount -l "$target" || true
        fi
    done < <(findmnt -rn -o TARGET)
    rm -rf "$work"
}

# Mounts the container (creating it with a size when one is given) and waits until the folder is served.
mount_ours() {
    local log="$work/mount.log"
    local how=(--open)
    [[ $# -gt 0 ]] && how=(--create "$1" --folder Bench)
    "$tool" mount "${how[@]}" '\bench.fvc' --password "$password" >"$log" 2>&1 &
    mount_pid=$!
    for _ in $(seq 600); do
        if grep -q '^only this process sees the folder' "$log"; then
            die "the folder is not served to the host (FUSE): $(cat "$log")"
        fi
        grep -q '^mounted ' "$log" && return 0
        kill -0 "$mount_pid" 2>/dev/null || die "the mount command ended: $(cat "$log")"
        sleep 0.1
    done
    die "the container was not mounted within a minute"
}

mount_theirs() {
    gocryptfs -q -nosyslog -extpass "echo $password" "$cipher" "$theirs"
}

drop_caches() {
    sync
    if [[ -w /proc/sys/vm/drop_caches ]]; then
        echo 3 >/proc/sys/vm/drop_caches
    fi
}

remount_both() {
    unmount_ours
    unmount_theirs
    drop_caches
    mount_ours
    mount_theirs
}

# Seconds that a command takes.
timed() {
    local start="$EPOCHREALTIME"
    "$@"
    awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.4f", b - a }'
}

write_big() { dd if=/dev/zero of="$1/big" bs=1M count="$megabytes" conv=fsync status=none; }
read_big() { dd if="$1/big" of=/dev/null bs=1M status=none; }
list_small() { ls -l "$1/small" >/dev/null; }
read_small() { cat "$1"/small/* >/dev/null; }

# The shell writes the files itself (no process per file); then the folder's file system is synced.
small_block="$(head -c 4096 /dev/zero | tr '\0' 'f')"
write_small() {
    for ((i = 0; i < files; ++i)); do
        printf '%s' "$small_block" >"$1/small/f$i"
    done
    sync -f "$1/small"
}

install_gocryptfs
build
trap cleanup EXIT
trap 'exit 130' INT TERM
cleanup
mkdir -p "$DEVICE_ROOT" "$cipher" "$theirs"
"$tool" install >/dev/null
gocryptfs -q -init -extpass "echo $password" "$cipher" >/dev/null
# Room for the big file, the small files (a cluster each) and the file system itself.
mount_ours "$((megabytes + files * 32 / 1024 + 64))M"
mount_theirs
[[ -w /proc/sys/vm/drop_caches ]] && caches="dropped before each read" ||
    caches="not dropped (needs root): reads after a remount may come from the host's cache"
say "Work folder $work; host caches $caches"

declare -A t
for side in ours theirs; do
    t[$side.write]="$(timed write_big "${!side}")"
done
remount_both
for side in ours theirs; do
    t[$side.read]="$(timed read_big "${!side}")"
    rm "${!side}/big"
    mkdir "${!side}/small"
    t[$side.smallwrite]="$(timed write_small "${!side}")"
done
remount_both
for side in ours theirs; do
    t[$side.list]="$(timed list_small "${!side}")"
    t[$side.smallread]="$(timed read_small "${!side}")"
done

awk -v mb="$megabytes" -v n="$files" \
    -v ow="${t[ours.write]}" -v gw="${t[theirs.write]}" -v or="${t[ours.read]}" -v gr="${t[theirs.read]}" \
    -v osw="${t[ours.smallwrite]}" -v gsw="${t[theirs.smallwrite]}" \
    -v ol="${t[ours.list]}" -v gl="${t[theirs.list]}" \
    -v osr="${t[ours.smallread]}" -v gsr="${t[theirs.smallread]}" 'BEGIN {
    printf "%-36s %12s %12s %8s\n", "", "Ferrovane", "gocryptfs", "ratio"
    printf "%-36s %8.1f MiB/s %6.1f MiB/s %7.2fx\n", "write " mb " MiB (dd, fsync)", mb / ow, mb / gw, gw / ow
    printf "%-36s %8.1f MiB/s %6.1f MiB/s %7.2fx\n", "read " mb " MiB after a remount", mb / or, mb / gr, gr / or
    printf "%-36s %10.3f s %10.3f s %7.2fx\n", "write " n " files of 4 KiB", osw, gsw, gsw / osw
    printf "%-36s %10.3f s %10.3f s %7.2fx\n", "ls -l of " n " files after a remount", ol, gl, gl / ol
    printf "%-36s %10.3f s %10.3f s %7.2fx\n", "read " n " files", osr, gsr, gsr / osr
}'
