#!/usr/bin/python3
"""The operators' console in a real browser (Debian's chromium through chromium-driver and
python3-selenium, headless): a real stock-alert-service with demo data and one operator."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request
from xml.sax.saxutils import escape

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.common.exceptions import StaleElementReferenceException, WebDriverException
from selenium.webdriver.support.ui import Select, WebDriverWait

SERVICE = os.environ["STOCK_ALERT_SERVICE"]
OPERATOR, PASSWORD = "wang", "操作 pw"


def soap(site, operation, params):
    body = "".join("<%s>%s</%s>" % (k, escape(v), k) for k, v in params.items())
    envelope = ('<?xml version="1.0" encoding="utf-8"?><soap:Envelope '
                'xmlns:soap="http://schemas.xmlsoap.org/soap/envelope/"><soap:Body><%s '
                'xmlns="http://tempuri.org/">%s</%s></soap:Body></soap:Envelope>') % (operation, body, operation)
    request = urllib.request.Request(site + "/WebService.asmx", envelope.encode("utf-8"), {
        "Content-Type": "text/xml; charset=utf-8", "SOAPAction": '"http://tempuri.org/%s"' % operation})
    with urllib.request.urlopen(request, timeout=20) as answer:
        text = answer.read().decode("utf-8")
    return re.search(r"<%sResult>(.*)</%sResult>" % (operation, operation), text, re.S).group(1)


class ConsoleInBrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp()
        db = os.path.join(cls.dir, "service.db")
        subprocess.run([SERVICE, "init", "--demo", "--db", db], check=True, capture_output=True)
        subprocess.run([SERVICE, "operator", "add", OPERATOR, "--db", db], input=(PASSWORD + "\n").encode(),
                       check=True, capture_output=True)
        cls.log = open(os.path.join(cls.dir, "service.log"), "wb")
        cls.service = subprocess.Popen([SERVICE, "serve", "--db", db, "--listen", "127.0.0.1:0",
                                        "--admin-listen", "127.0.0.1:0"], stdout=subprocess.PIPE,
                                       stderr=cls.log)
        console = cls.service.stdout.readline().decode()
        listening = cls.service.stdout.readline().decode()
        cls.console = re.search(r"console on (http://\S+)", console).group(1)
        cls.site = re.search(r"listening on (http://\S+)", listening).group(1)
        options = webdriver.ChromeOptions()
        for flag in ["--headless", "--disable-gpu", "--disable-background-networking", "--disable-component-update",
                     "--disable-sync", "--no-first-run", "--window-size=1280,900",
                     "--user-data-dir=" + os.path.join(cls.dir, "chromium")]:
            options.add_argument(flag)
        if os.geteuid() == 0:
            options.add_argument("--no-sandbox")
        options.binary_location = "/usr/bin/chromium"
        cls.browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.browser.set_page_load_timeout(30)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.service.terminate()
        cls.service.wait(20)
        cls.log.close()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def open(self, path):
        self.browser.get(self.console + path)

    @staticmethod
    def gone(element):
        """Whether element belongs to a page the browser has left. Chromium's driver reports that
        either as a stale element or as a node that no longer belongs to the document."""
        try:
            element.is_enabled()
            return False
        except (StaleElementReferenceException, WebDriverException):
            return True

    def submit(self, button):
        """Clicks a form's button and waits for the page that answers it."""
        old = self.browser.find_element(By.TAG_NAME, "html")
        button.click()
        WebDriverWait(self.browser, 30).until(lambda b: self.gone(old))
        WebDriverWait(self.browser, 30).until(
            lambda b: b.execute_script("return document.readyState") == "complete")

    def sign_in(self, password=PASSWORD):
        self.open("/login")
        self.browser.find_element(By.ID, "name").send_keys(OPERATOR)
        self.browser.find_element(By.ID, "password").send_keys(password)
        self.submit(self.browser.find_element(By.ID, "signin-button"))

    def sign_out(self):
        self.browser.delete_all_cookies()

    def test_1_page_without_session_goes_to_sign_in(self):
        self.sign_out()
        for path in ["/", "/publish?stream=stock", "/subscribers", "/audit"]:
            self.open(path)
            self.assertTrue(self.browser.current_url.endswith("/login"), path)
            self.assertTrue(self.browser.find_element(By.ID, "signin"))

    def test_2_sign_in(self):
        self.sign_in()
        self.assertEqual(self.browser.current_url, self.console + "/")
        self.assertEqual(self.browser.find_element(By.ID, "operator").text, OPERATOR)
        self.assertEqual(self.browser.find_element(By.CSS_SELECTOR, "#subscribers .value").text, "3")
        # The cookie is out of scripts' reach and not sent from other sites.
        cookie = self.browser.get_cookie("console_session")
        self.assertTrue(cookie["httpOnly"])
        self.assertEqual(cookie["sameSite"], "Strict")

    def test_3_publish_stock_alert_changes_counters(self):
        self.sign_in()
        # Level 3: the public level, which this address reads without holding a subscriber's record.
        before = soap(self.site, "ifchangetable", {"userdj": "3"})
        self.open("/publish?stream=stock")
        form = {"gupiaodaima": "600000", "jg": "浦发银行", "czfs": "买入", "czly": "<b>突破</b> & 放量"}
        for name, value in form.items():
            self.browser.find_element(By.ID, name).send_keys(value)
        Select(self.browser.find_element(By.NAME, "level")).select_by_value("3")
        preview = self.browser.find_element(By.ID, "toast-text").text
        self.assertIn("股票代码：600000", preview)
        self.assertIn("操作方式：买入", preview)
        self.submit(self.browser.find_element(By.ID, "publish-button"))
        self.assertIn("已发布，编号 8", self.browser.find_element(By.ID, "message").text)
        after = soap(self.site, "ifchangetable", {"userdj": "3"})
        self.assertNotEqual(before, after)
        self.assertEqual(int(after.split(",")[0]), int(before.split(",")[0]) + 1)
        # The reason is shown as the text it is, not as markup.
        cells = [td.text for td in self.browser.find_elements(By.CSS_SELECTOR, "#items tr:nth-child(2) td")]
        self.assertIn("<b>突破</b> & 放量", cells)
        self.open("/audit")
        self.assertIn("发布 stock 8", self.browser.find_element(By.ID, "audit-table").text)

    def test_4_approve_application_then_subscriber_signs_in(self):
        insert = ("insert into NewUser(usetrname,zcmm,zhucetime,shouji) values('zhou','zhou pw',date(),'12345')")
        self.assertEqual(soap(self.site, "zhixing", {"sql": insert}), "true")
        self.assertEqual(soap(self.site, "yanzheng", {"username": "zhou", "userpass": "zhou pw"}), "false")
        self.sign_in()
        self.open("/applications")
        row = self.browser.find_element(By.XPATH, "//tr[td[@class='name' and text()='zhou']]")
        Select(row.find_element(By.NAME, "level")).select_by_value("1")
        self.submit(row.find_element(By.CSS_SELECTOR, "button.approve"))
        self.assertEqual(self.browser.find_element(By.ID, "message").text, "已批准")
        self.assertEqual(soap(self.site, "yanzheng", {"username": "zhou", "userpass": "zhou pw"}), "true")
        self.open("/subscribers?q=zhou")
        table = self.browser.find_element(By.ID, "subscribers-table").text
        self.assertIn("zhou", table)

    def test_5_form_without_token_refused(self):
        self.sign_in()
        self.open("/publish?stream=news")
        count = len(soap(self.site, "ifchangetable", {"userdj": "3"}))
        self.browser.execute_script("document.querySelector('#publish-form input[name=csrf]').remove();")
        self.browser.find_element(By.ID, "zxlx").send_keys("政策")
        self.browser.find_element(By.ID, "zxnr").send_keys("不该发布")
        self.submit(self.browser.find_element(By.ID, "publish-button"))
        self.assertIn("表单已失效", self.browser.page_source)
        self.assertEqual(len(soap(self.site, "ifchangetable", {"userdj": "3"})), count)
        self.open("/publish?stream=news")
        self.assertNotIn("不该发布", self.browser.find_element(By.ID, "items").text)

    def test_6_wrong_password_slowed_down(self):
        self.sign_out()
        timings = []
        for attempt in range(7):
            started = time.monotonic()
            self.sign_in(password="wrong %d" % attempt)
            timings.append(time.monotonic() - started)
            self.assertIn("操作员或密码错误", self.browser.find_element(By.ID, "message").text)
        # The first failures are answered at once, later ones held (0.5 s, then 1 s).
        self.assertGreaterEqual(timings[-1], 0.9, timings)
        self.assertGreaterEqual(timings[-2], 0.45, timings)
        # Still slowed: the right password also waits, then works.
        started = time.monotonic()
        self.sign_in()
        self.assertGreaterEqual(time.monotonic() - started, 0.45)
        self.assertEqual(self.browser.current_url, self.console + "/")


if __name__ == "__main__":
    unittest.main(verbosity=2)
