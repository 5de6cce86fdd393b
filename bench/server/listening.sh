# Sourced (POSIX sh) by the service benchmarks once they have set $here to bench/server.
# shellcheck source=../../scripts/client-windows.sh
. "$here/../../scripts/client-windows.sh" # wait_for

# listening_url OUT: waits (up to 10 s) for the server whose standard output goes to OUT to
# say "listening on URL", and prints URL; fails when it does not say so in time.
listening_url() {
    wait_for 100 grep -q '^listening on' "$1" || return 1
    sed -n 's/^listening on //p' "$1"
}
