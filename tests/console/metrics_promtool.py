#!/usr/bin/python3
"""/metrics on the console's listener after some traffic: promtool accepts it, and the counts
follow what happened (calls by operation and status, a failed login, a publish, an event stream
told of it)."""
import http.client
import os
import re
import shutil
import subprocess
import tempfile
import time
import urllib.error
import urllib.request

SERVICE = os.environ["STOCK_ALERT_SERVICE"]


def call(site, operation, body):
    envelope = ('<?xml version="1.0" encoding="utf-8"?><soap:Envelope '
                'xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/"><soap:Body><%s xmlns="http://tempuri.org/">'
                '%s</%s></soap:Body></soap:Envelope>') % (operation, body, operation)
    request = urllib.request.Request(site + "/WebService.asmx", envelope.encode(), {
        "Content-Type": "text/xml; charset=utf-8", "SOAPAction": '"http://tempuri.org/%s"' % operation})
    try:
        return urllib.request.urlopen(request, timeout=20).status
    except urllib.error.HTTPError as error:
        return error.code


def next_event(answer):
    """The id of the next event on a stream, skipping keep-alive comments."""
    event_id = None
    while True:
        line = answer.fp.readline()
        assert line, "the stream ended"
        line = line.decode().rstrip("\r\n")
        if line.startswith("id:"):
            event_id = int(line[3:])
        elif not line and event_id is not None:
            return event_id


def main():
    work = tempfile.mkdtemp()
    try:
        db = os.path.join(work, "service.db")
        subprocess.run([SERVICE, "init", "--demo", "--db", db], check=True, capture_output=True)
        with open(os.path.join(work, "log"), "wb") as log:
            service = subprocess.Popen([SERVICE, "serve", "--db", db, "--listen", "127.0.0.1:0", "--admin-listen",
                                        "127.0.0.1:0"], stdout=subprocess.PIPE, stderr=log)
            try:
                console = re.search(r"(http://\S+)", service.stdout.readline().decode()).group(1)
                site = re.search(r"(http://\S+)", service.stdout.readline().decode()).group(1)
                assert call(site, "ifchangetable", "<userdj>2</userdj>") == 200
                assert call(site, "ifchangetable", "<userdj>2</userdj>") == 200
                assert call(site, "yanzheng", "<username>demo</username><userpass>wrong</userpass>") == 200
                assert call(site, "zhixing", "<sql>drop table UserTable</sql>") == 500
                host, port = site[len("http://"):].rsplit(":", 1)
                stream = http.client.HTTPConnection(host, int(port), timeout=20)
                stream.request("GET", "/events?userdj=2")
                answer = stream.getresponse()
                assert answer.status == 200
                current = next_event(answer)
                subprocess.run([SERVICE, "publish", "news", "--type", "t", "--text", "x", "--db", db], check=True,
                               capture_output=True)
                assert next_event(answer) > current
                # An event is counted once its write has completed, which may come just after
                # the reader has it.
                deadline = time.monotonic() + 10
                while True:
                    text = urllib.request.urlopen(console + "/metrics", timeout=20).read().decode()
                    if "stock_alert_events_sent_total 2\n" in text or time.monotonic() > deadline:
                        break
                    time.sleep(0.05)
                stream.close()
            finally:
                service.terminate()
                service.wait(20)
        check = subprocess.run(["promtool", "check", "metrics"], input=text.encode(), capture_output=True)
        print(check.stdout.decode() + check.stderr.decode())
        assert check.returncode == 0, "promtool refused the metrics"
        expected = ['stock_alert_requests_total{operation="ifchangetable",status="200"} 2',
                    'stock_alert_requests_total{operation="yanzheng",status="200"} 1',
                    'stock_alert_requests_total{operation="zhixing",status="500"} 1',
                    'stock_alert_failed_logins_total 1',
                    'stock_alert_items_published_total{stream="news"} 4',
                    'stock_alert_requests_total{operation="-",status="200"} 1',  # the stream
                    'stock_alert_request_duration_seconds_count 5',
                    'stock_alert_open_event_streams 1',
                    'stock_alert_events_sent_total 2',
                    'stock_alert_slow_readers_closed_total 0']
        for line in expected:
            assert line + "\n" in text, "missing: " + line + "\n" + text
        print("metrics ok")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
