# shellcheck shell=sh
# Sourced (POSIX sh; bash too) by the benchmarks that put nginx beside or in front of the service.
# nginx runs as a private instance: its own configuration, prefix, logs, temporary files and pid
# file in a directory of the benchmark's, never the system's configuration or service.

# ensure_nginx: makes sure an nginx binary is there, installing Debian's package when it is
# missing (it is a benchmark's tool, not a dependency of the build or the tests). Sets $nginx.
ensure_nginx() {
    nginx=$(command -v nginx || echo /usr/sbin/nginx)
    [ -x "$nginx" ] && return 0
    echo "nginx is missing: installing it with apt-get" >&2
    if [ "$(id -u)" -eq 0 ]; then
        DEBIAN_FRONTEND=noninteractive apt-get install -y -q nginx >&2
    else
        sudo DEBIAN_FRONTEND=noninteractive apt-get install -y -q nginx >&2
    fi
    nginx=$(command -v nginx || echo /usr/sbin/nginx)
    [ -x "$nginx" ] || { echo "nginx could not be installed" >&2; return 1; }
}

# nginx_configuration DIR HTTP_BLOCK: prints a whole configuration whose files all live in DIR,
# with two worker processes and HTTP_BLOCK (server blocks and the like) inside http { }.
nginx_configuration() {
    # Started as root, the workers run as nobody. They keep bodies and proxied answers in
    # memory (no temporary files), and the master opens the logs: they need no access to DIR.
    [ "$(id -u)" -ne 0 ] || echo "user nobody nogroup;"
    cat <<CONF
worker_processes 2;
daemon off;
pid $1/nginx.pid;
error_log $1/error.log warn;
events { worker_connections 4096; }
http {
    client_body_temp_path $1/body;
    proxy_temp_path $1/proxy;
    fastcgi_temp_path $1/fastcgi;
    uwsgi_temp_path $1/uwsgi;
    scgi_temp_path $1/scgi;
    client_body_buffer_size 1m;
    client_max_body_size 1m;
    proxy_max_temp_file_size 0;
    keepalive_requests 1000000;
$2
}
CONF
}

# start_private_nginx DIR HTTP_BLOCK ADDRESS:PORT: writes the configuration to DIR/nginx.conf,
# starts nginx in the background and waits (up to 10 s) until it accepts on ADDRESS:PORT.
# Sets $nginx_pid (the master process: TERM ends it and its workers).
start_private_nginx() {
    mkdir -p "$1"
    nginx_configuration "$1" "$2" >"$1/nginx.conf"
    "$nginx" -p "$1" -e "$1/error.log" -c "$1/nginx.conf" >"$1/stdout" 2>&1 &
    nginx_pid=$!
    if ! wait_for 100 nginx_accepts "$3"; then
        cat "$1/error.log" "$1/stdout" >&2 2>/dev/null
        echo "nginx did not start on $3" >&2
        return 1
    fi
}
nginx_accepts() {
    kill -0 "$nginx_pid" && curl -s -o /dev/null "http://$1/"
}

# free_port: a loopback port nothing listens on now.
free_port() {
    python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# nginx_text_of FILE: the bytes of FILE as an nginx string in single quotes: quotes and
# backslashes escaped, and each $ written as ${dollar} (a variable the configuration must define
# as "$"), as nginx would otherwise read a variable there. Byte for byte, trailing newlines too.
nginx_text_of() {
    python3 -c 'import sys
text = open(sys.argv[1], "rb").read().decode("latin-1")
text = text.replace("\\", "\\\\").replace("\x27", "\\\x27").replace("$", "${dollar}")
sys.stdout.buffer.write(("\x27" + text + "\x27").encode("latin-1"))' "$1"
}
