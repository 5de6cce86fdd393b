# Sourced (bash) by the product's figure scripts once they have set ROOT, BUILD, SERVICE,
# CLIENT, WORK and PIDS (the processes their cleanup ends) and sourced
# scripts/client-windows.sh. The client's service host is compiled in: 127.0.0.1:8765.

# The time of day in ms, without starting a process (bash's EPOCHREALTIME: seconds and
# microseconds, the separator as the locale has it).
now_ms() {
    local us=${EPOCHREALTIME//[.,]/}
    echo $((us / 1000))
}

# start_signed_in_client POLL_SECONDS: a private Xvfb display, the service on 127.0.0.1:8765
# with demo data and the given poll period, and the client signed in as the demo account by
# keys; returns once the screen is clear of toasts. Sets CLIENT_PID, MAIN and SIGNED_IN (ms).
start_signed_in_client() {
    start_display
    start_service "$1" 127.0.0.1:8765
    start_client
}

# start_display: a private Xvfb display, exported as DISPLAY.
start_display() {
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$WORK/display" 2>/dev/null &
    PIDS="$! $PIDS"
    wait_for 100 test -s "$WORK/display"
    export DISPLAY=:$(cat "$WORK/display")
}

# start_service POLL_SECONDS ADDRESS:PORT: the service with demo data and the given poll period
# on ADDRESS:PORT (port 0: any free one). Sets SERVICE_PID and SERVICE_URL.
start_service() {
    "$SERVICE" init --demo --db "$WORK/figures.db" >/dev/null
    sqlite3 "$WORK/figures.db" "UPDATE Sys_pz SET khdsxsj=$1"
    "$SERVICE" serve --listen "$2" --db "$WORK/figures.db" --quiet >"$WORK/service.out" 2>&1 &
    SERVICE_PID=$!
    PIDS="$SERVICE_PID $PIDS"
    wait_for 200 grep -q '^listening on' "$WORK/service.out"
    SERVICE_URL=$(sed -n 's/^listening on //p' "$WORK/service.out")
}

# start_client: the client, signed in as the demo account by keys, on the service host it was
# built for; returns once the screen is clear of toasts. Sets CLIENT_PID, MAIN and SIGNED_IN (ms).
start_client() {
    # A user of its own: no session bus, so alerts come as toasts, not desktop notifications.
    unset DBUS_SESSION_BUS_ADDRESS
    export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" XDG_DATA_HOME="$WORK/home/.local/share"
    # Its own runtime directory too: the single-instance socket of another client there would end it.
    export XDG_RUNTIME_DIR="$WORK/runtime"
    mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
    export QTWEBENGINE_DISABLE_SANDBOX=1
    mkdir -p "$XDG_CONFIG_HOME/stock-alert"
    printf 'demo\r\n\\\r\ndemo\r\n' >"$XDG_CONFIG_HOME/stock-alert/gpxxjl.lwl"
    "$CLIENT" >"$WORK/client.log" 2>&1 &
    CLIENT_PID=$!
    PIDS="$CLIENT_PID $PIDS"

    wait_for 300 window_named 登录窗体
    sign_in_with_keys "$(window_named 登录窗体)"
    wait_for 300 signed_in
    SIGNED_IN=$(now_ms)
    MAIN=$(main_window)
    echo "signed in; main window $MAIN"
    # Items published before the sign-in may be announced once; wait until the screen is clear.
    sleep 2
    wait_for 300 no_other_window
}
signed_in() { ! window_named 登录窗体 && main_window; }

# watch_window_maps FILE: from now on writes the time (ms) of each top-level window mapped on
# the display to FILE, one a line: xev is told the moment the client maps a toast, where looking
# with xdotool (several processes a look) would add its own tens of milliseconds.
watch_window_maps() {
    : >"$1"
    xev -root -event substructure 2>/dev/null | while IFS= read -r line; do
        case $line in MapNotify*) now_ms ;; esac
    done >"$1" &
    PIDS="$! $PIDS"
    sleep 0.5 # xev has selected the events
}

# toast_latencies COUNT FILE: publishes COUNT stock alerts with the command line, one at a
# time from a clear screen, and writes one line for each to FILE, in ms: the delay from the
# publishing command's start and from its end (the alert committed) to the toast window mapped
# (xev's stamp; xdotool then checks that a toast is on the screen), and the time of day of the
# command's start. Fails when a toast does not come within 10 s.
toast_latencies() {
    local i start committed seen maps
    : >"$2"
    watch_window_maps "$WORK/maps"
    for i in $(seq 1 "$1"); do
        maps=$(wc -l <"$WORK/maps")
        start=$(now_ms)
        "$SERVICE" publish stock --code "60$(printf %04d "$i")" --name 测试 --op 买入 --reason 基准 --level 3 \
            --db "$WORK/figures.db" >/dev/null
        committed=$(now_ms)
        while [ "$(wc -l <"$WORK/maps")" -le "$maps" ] || ! has_other_window; do
            [ $(($(now_ms) - start)) -lt 10000 ] || { echo "  alert $i: no toast within 10 s" >&2; return 1; }
            sleep 0.02
        done
        seen=$(sed -n "$((maps + 1))p" "$WORK/maps")
        echo "$((seen - start)) $((seen - committed)) $start" >>"$2"
        # The toast stays six seconds; the next alert starts from a clear screen.
        wait_for 300 no_other_window
        # A random phase against the poll timer and the store's watch, as real alerts have.
        sleep "0.$((RANDOM % 10))"
    done
}

# latency_summary FILE [COLUMN]: "median M ms, p99 P ms, min A ms, max B ms (n = N)" of the
# delays in COLUMN (1: from the command's start, the default; 2: from the commit) of FILE; p99
# by the nearest rank. With a third and fourth argument (median and p99 bounds) it fails when
# either is exceeded.
latency_summary() {
    awk -v c="${2:-1}" '{ print $c }' "$1" | sort -n | awk -v m="${3:-}" -v p="${4:-}" '{ v[NR] = $1 } END {
        median = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
        rank = int(0.99 * NR); if (rank < 0.99 * NR) rank++
        printf "median %d ms, p99 %d ms, min %d ms, max %d ms (n = %d)\n", median, v[rank], v[1], v[NR], NR
        if (m != "") exit !(median <= m && v[rank] <= p) }'
}
