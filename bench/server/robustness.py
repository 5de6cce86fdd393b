#!/usr/bin/env python3
"""Robustness driver for stock-alert-service: slow and oversized requests from some peers
must not starve the others or grow the memory without bound.

    robustness.py PORT PID [SECONDS]

Loopback only: the peers are different addresses of 127.0.0.0/8, all on this machine.
1. Slow peers: 200 connections (50 from each of 127.0.0.10-13) send one byte every 5 s and
   reconnect when the service cuts them; meanwhile 127.0.0.2 makes one ifchangetable call
   every 50 ms on a new connection. Prints the latency percentiles of those calls.
2. Header flood: 32 connections in parallel each send a request head of 1,000,000 small
   fields; prints their answers and the service's resident memory during and after.
3. A body over 1 MiB announced and never sent: prints how soon the 413 comes.
Exits 1 when p99 > 100 ms, a flood request is not refused, or the memory passes 100 MB.
"""
import socket
import sys
import threading
import time

PORT = int(sys.argv[1])
PID = int(sys.argv[2])
SECONDS = float(sys.argv[3]) if len(sys.argv) > 3 else 40.0

BODY = ('<?xml version="1.0" encoding="utf-8"?><soap:Envelope xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/">'
        '<soap:Body><ifchangetable xmlns="http://tempuri.org/"><userdj>2</userdj></ifchangetable></soap:Body>'
        '</soap:Envelope>').encode()
CALL = (b'POST /WebService.asmx HTTP/1.1\r\nHost: x\r\nContent-Type: text/xml; charset="utf-8"\r\n'
        b'SOAPAction: "http://tempuri.org/ifchangetable"\r\nContent-Length: ' + str(len(BODY)).encode() +
        b'\r\nConnection: close\r\n\r\n' + BODY)


def connect(source, timeout=10.0):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.settimeout(timeout)
    s.bind((source, 0))
    s.connect(('127.0.0.1', PORT))
    return s


def read_answer(s):
    data = b''
    while True:
        chunk = s.recv(65536)
        if not chunk:
            return data
        data += chunk


def rss_mb():
    with open('/proc/%d/status' % PID) as status:
        for line in status:
            if line.startswith('VmRSS:'):
                return int(line.split()[1]) / 1024.0
    return 0.0


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100.0 * (len(ordered) - 1))))]


def slow_peer(source, stop, counts):
    while not stop.is_set():
        try:
            s = connect(source)
            s.sendall(b'POST /WebService.asmx HTTP/1.1\r\n')
            counts['opened'] += 1
            while not stop.wait(5.0):
                s.sendall(b'X')
        except OSError:
            counts['cut'] += 1
            stop.wait(0.2)
        else:
            s.close()


def slow_peers_phase():
    stop = threading.Event()
    counts = {'opened': 0, 'cut': 0}
    peers = [threading.Thread(target=slow_peer, args=('127.0.0.%d' % (10 + i % 4), stop, counts), daemon=True)
             for i in range(200)]
    for peer in peers:
        peer.start()
    time.sleep(2.0)
    latencies, failures, windows = [], 0, []
    started = time.monotonic()
    window_start, window = started, []
    while time.monotonic() - started < SECONDS:
        t0 = time.monotonic()
        try:
            s = connect('127.0.0.2')
            s.sendall(CALL)
            answer = read_answer(s)
            s.close()
            ok = answer.startswith(b'HTTP/1.1 200')
        except OSError:
            ok = False
        ms = (time.monotonic() - t0) * 1000.0
        if ok:
            latencies.append(ms)
            window.append(ms)
        else:
            failures += 1
        if time.monotonic() - window_start >= 10.0:
            windows.append((time.monotonic() - started, window))
            window_start, window = time.monotonic(), []
        time.sleep(0.05)
    stop.set()
    print('slow peers: 200 connections from 127.0.0.10-13, one byte every 5 s, %.0f s' % SECONDS)
    print('  slow connections opened %d, cut or refused %d (the deadline cuts each after 10 s)'
          % (counts['opened'], counts['cut']))
    for at, values in windows:
        if values:
            print('  ifchangetable from 127.0.0.2 until %3.0f s: %4d calls, p50 %.1f ms, p99 %.1f ms, max %.1f ms'
                  % (at, len(values), percentile(values, 50), percentile(values, 99), max(values)))
    p99 = percentile(latencies, 99) if latencies else float('inf')
    print('  all: %d calls, %d failed, p50 %.1f ms, p99 %.1f ms, max %.1f ms   (target p99 <= 100 ms)'
          % (len(latencies), failures, percentile(latencies, 50), p99, max(latencies)))
    return p99 <= 100.0 and failures == 0


def flood(index, results):
    head = b'GET /IP.aspx HTTP/1.1\r\nHost: x\r\n'
    block = b'X-A: b\r\n' * 10000
    try:
        s = connect('127.0.0.3', timeout=30.0)
        s.sendall(head)
        sent = 0
        try:
            for _ in range(100):  # 1,000,000 fields
                s.sendall(block)
                sent += 10000
        except OSError:
            pass
        answer = read_answer(s)
        results[index] = (answer.split(b'\r\n', 1)[0].decode('latin-1'), sent)
    except OSError as error:
        results[index] = ('error: %s' % error, 0)


def header_flood_phase():
    before = rss_mb()
    results = [None] * 32
    floods = [threading.Thread(target=flood, args=(i, results)) for i in range(32)]
    peak = before
    for thread in floods:
        thread.start()
    while any(thread.is_alive() for thread in floods):
        peak = max(peak, rss_mb())
        time.sleep(0.02)
    time.sleep(2.0)
    after = rss_mb()
    statuses = {}
    for status, _ in results:
        statuses[status] = statuses.get(status, 0) + 1
    print('header flood: 32 parallel requests of 1,000,000 fields each from 127.0.0.3')
    print('  answers: %s' % ', '.join('%d x %s' % (n, s) for s, n in sorted(statuses.items())))
    print('  resident memory: %.1f MB before, %.1f MB at most during, %.1f MB 2 s after   (target < 100 MB)'
          % (before, peak, after))
    refused = statuses.get('HTTP/1.1 431 Request Header Fields Too Large', 0) == 32
    return refused and peak < 100.0 and after < 100.0


def announced_body_phase():
    s = connect('127.0.0.4')
    t0 = time.monotonic()
    s.sendall(b'POST /WebService.asmx HTTP/1.1\r\nHost: x\r\nContent-Type: text/xml\r\n'
              b'SOAPAction: "http://tempuri.org/ifchangetable"\r\nContent-Length: 2000000\r\n\r\n')
    answer = read_answer(s)
    ms = (time.monotonic() - t0) * 1000.0
    status = answer.split(b'\r\n', 1)[0].decode('latin-1')
    print('announced body of 2,000,000 bytes, never sent: "%s" after %.1f ms' % (status, ms))
    return status.startswith('HTTP/1.1 413')


ok = slow_peers_phase()
ok = header_flood_phase() and ok
ok = announced_body_phase() and ok
print('robustness: %s' % ('PASS' if ok else 'FAIL'))
sys.exit(0 if ok else 1)
