#!/usr/bin/python3
"""/metrics on the console's listener after some traffic: promtool accepts it, and the counts
follow what happened (calls by operation and status, a failed login, a publish)."""
import os
import re
import shutil
import subprocess
import tempfile
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
                subprocess.run([SERVICE, "publish", "news", "--type", "t", "--text", "x", "--db", db], check=True,
                               capture_output=True)
                text = urllib.request.urlopen(console + "/metrics", timeout=20).read().decode()
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
                    'stock_alert_request_duration_seconds_count 4']
        for line in expected:
            assert line + "\n" in text, "missing: " + line + "\n" + text
        print("metrics ok")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
