# shellcheck shell=bash
# Sourced by the scripts that need a clean Debian root, as a container or a fresh machine
# would have it: a minbase bookworm made once by debootstrap and kept in a cache folder, and
# the mounts a chroot into it needs, taken down again when the script ends.

CLEAN_ROOT_CACHE=${CLEAN_ROOT_CACHE:-/var/cache/stock-alert/clean-root}
CLEAN_ROOT_MIRROR=${CLEAN_ROOT_MIRROR:-http://deb.debian.org/debian}
MOUNTED=()

# Prints why a clean root cannot be made here; prints nothing when it can.
clean_root_unavailable() {
    [ "$(id -u)" -eq 0 ] || { echo "making a root and chrooting into it needs root"; return; }
    command -v debootstrap >/dev/null || { echo "no debootstrap (apt-get install debootstrap)"; return; }
    command -v chroot >/dev/null || echo "no chroot on this machine"
}

# The cached minbase root; made on the first call (a few minutes, about 200 MB). A root whose
# making was interrupted stays .partial and is made again, never used.
base_root() {
    local root=$CLEAN_ROOT_CACHE/bookworm-minbase
    if [ ! -d "$root" ]; then
        mkdir -p "$CLEAN_ROOT_CACHE"
        rm -rf "$root.partial"
        local started=$SECONDS
        debootstrap --variant=minbase bookworm "$root.partial" "$CLEAN_ROOT_MIRROR" >"$root.log" 2>&1 ||
            { tail -20 "$root.log" >&2; return 1; }
        # A Debian machine has the updates and security suites too; the packages built here
        # may depend on library versions found only there.
        cat >"$root.partial/etc/apt/sources.list" <<EOF
deb $CLEAN_ROOT_MIRROR bookworm main
deb $CLEAN_ROOT_MIRROR bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
EOF
        mv "$root.partial" "$root"
        echo "made $root in $((SECONDS - started))s: $(du -sh "$root" | cut -f1)" >&2
    fi
    echo "$root"
}

# A fresh copy of the cached root at DIR, so a test never changes the cache.
copy_root() {
    rm -rf "$2"
    cp -a "$1" "$2"
}

mount_in() {
    mount "$@"
    MOUNTED+=("${!#}")
}

# Mounts what programs in a chroot at ROOT expect; unmount_all takes them down again.
mount_root() {
    local root=$1
    mount_in -t proc proc "$root/proc"
    mount_in --bind /sys "$root/sys"
    mount_in --bind /dev "$root/dev"
    mount_in --bind /dev/pts "$root/dev/pts"
    mount_in -t tmpfs shm "$root/dev/shm"
    mount_in -t tmpfs tmp "$root/tmp"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
}

unmount_all() {
    local i
    for ((i = ${#MOUNTED[@]} - 1; i >= 0; i--)); do
        umount "${MOUNTED[i]}" || umount -l "${MOUNTED[i]}" || true
    done
    MOUNTED=()
}

# What a command run in the root gets for an environment: nothing of the caller's.
ROOT_ENVIRONMENT=(PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive)

# Runs a command inside ROOT as root.
in_root() {
    local root=$1
    shift
    chroot "$root" /usr/bin/env -i "${ROOT_ENVIRONMENT[@]}" "$@"
}

# Ends what still runs inside ROOT (a check that failed half-way), so it can be unmounted.
end_processes_in() {
    local process
    for process in /proc/[0-9]*; do
        [ "$(readlink "$process/root" 2>/dev/null)" != "$1" ] || kill -9 "${process#/proc/}" 2>/dev/null || true
    done
}
