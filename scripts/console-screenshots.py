#!/usr/bin/python3
"""console-screenshots SERVICE OUT: the operators' console's overview, publish form (with its toast
preview filled in) and subscribers page, taken with headless chromium through selenium from a
service with the demo data."""
import os
import re
import shutil
import subprocess
import sys
import tempfile

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

service_path, out = sys.argv[1], sys.argv[2]
work = tempfile.mkdtemp()
db = os.path.join(work, "service.db")
subprocess.run([service_path, "init", "--demo", "--db", db], check=True, capture_output=True)
subprocess.run([service_path, "operator", "add", "wang", "--db", db], input=b"screens\n", check=True,
               capture_output=True)
service = subprocess.Popen([service_path, "serve", "--db", db, "--listen", "127.0.0.1:0", "--admin-listen",
                            "127.0.0.1:0", "--quiet"], stdout=subprocess.PIPE)
browser = None
try:
    console = re.search(r"(http://\S+)", service.stdout.readline().decode()).group(1)
    options = webdriver.ChromeOptions()
    for flag in ["--headless", "--disable-gpu", "--disable-background-networking", "--disable-component-update",
                 "--disable-sync", "--no-first-run", "--window-size=1200,860", "--hide-scrollbars",
                 "--user-data-dir=" + os.path.join(work, "chromium")]:
        options.add_argument(flag)
    if os.geteuid() == 0:
        options.add_argument("--no-sandbox")
    browser = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    browser.get(console + "/login")
    browser.find_element(By.ID, "name").send_keys("wang")
    browser.find_element(By.ID, "password").send_keys("screens")
    browser.find_element(By.ID, "signin-button").click()
    browser.get(console + "/")
    browser.save_screenshot(os.path.join(out, "console-overview.png"))
    browser.get(console + "/publish?stream=stock")
    for name, value in {"gupiaodaima": "600036", "jg": "招商银行", "czfs": "买入", "czly": "放量突破前期平台"}.items():
        browser.find_element(By.ID, name).send_keys(value)
    browser.save_screenshot(os.path.join(out, "console-publish.png"))
    browser.get(console + "/subscribers")
    browser.save_screenshot(os.path.join(out, "console-subscribers.png"))
finally:
    if browser:
        browser.quit()
    service.terminate()
    service.wait(20)
    shutil.rmtree(work, ignore_errors=True)
