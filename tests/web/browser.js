// Headless Chromium driven over the DevTools protocol through a pipe (no port, no package): one
// browser per test run, pages opened from file:// URLs, every request the page or its workers
// make recorded.
"use strict";
const { spawn } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");

class Browser {
  static async launch() {
    const profile = fs.mkdtempSync(path.join(os.tmpdir(), "vexaro-chromium-"));
    const args = [
      "--headless",
      "--disable-gpu",
      "--no-first-run",
      "--no-default-browser-check",
      "--disable-background-networking",
      "--disable-component-update",
      "--disable-sync",
      "--disable-extensions",
      "--user-data-dir=" + profile,
      "--remote-debugging-pipe",
    ];
    if (process.getuid && process.getuid() === 0) args.push("--no-sandbox");
    // A process group of its own, so that closing ends Chromium's helpers too.
    const child = spawn(process.env.CHROMIUM || "chromium", args.concat("about:blank"), {
      stdio: ["ignore", "ignore", "pipe", "pipe", "pipe"],
      detached: true,
    });
    let stderr = "";
    child.stderr.on("data", (d) => (stderr += d));
    const browser = new Browser(child, profile);
    await new Promise((resolve, reject) => {
      child.once("spawn", resolve);
      child.once("error", reject);
    });
    await browser.send("Target.setDiscoverTargets", { discover: true }).catch((e) => {
      throw new Error(e.message + "\n" + stderr);
    });
    return browser;
  }

  constructor(child, profile) {
    this.child = child;
    this.profile = profile;
    this.nextId = 1;
    this.calls = new Map();
    this.listeners = [];
    let buffered = "";
    child.stdio[4].on("data", (data) => {
      buffered += data.toString("utf8");
      let end;
      while ((end = buffered.indexOf("\0")) >= 0) {
        const message = JSON.parse(buffered.slice(0, end));
        buffered = buffered.slice(end + 1);
        this.receive(message);
      }
    });
  }

  receive(message) {
    if (message.id !== undefined) {
      const call = this.calls.get(message.id);
      this.calls.delete(message.id);
      if (message.error) call.reject(new Error(call.method + ": " + message.error.message));
      else call.resolve(message.result);
      return;
    }
    for (const listener of this.listeners) listener(message);
  }

  send(method, params = {}, sessionId = undefined) {
    const id = this.nextId++;
    const message = { id, method, params };
    if (sessionId) message.sessionId = sessionId;
    this.child.stdio[3].write(JSON.stringify(message) + "\0");
    return new Promise((resolve, reject) => this.calls.set(id, { resolve, reject, method }));
  }

  on(listener) {
    this.listeners.push(listener);
  }

  // A new page with `url`, its workers attached, every request recorded in page.requests.
  async open(url, { width = 1280, height = 900, scale = 1 } = {}) {
    const { targetId } = await this.send("Target.createTarget", { url: "about:blank" });
    const { sessionId } = await this.send("Target.attachToTarget", { targetId, flatten: true });
    const page = new Page(this, targetId, sessionId);
    await page.watch(sessionId);
    await page.send("Emulation.setDeviceMetricsOverride", { width, height, deviceScaleFactor: scale, mobile: false });
    await page.send("Page.enable");
    const loaded = page.event("Page.loadEventFired");
    await page.send("Page.navigate", { url });
    await loaded;
    return page;
  }

  async close() {
    try {
      await Promise.race([this.send("Browser.close"), new Promise((r) => setTimeout(r, 2000))]);
    } catch {
      // already gone
    }
    if (this.child.exitCode === null && this.child.signalCode === null) {
      const exited = new Promise((r) => this.child.once("exit", r));
      this.child.kill();
      await exited;
    }
    try {
      process.kill(-this.child.pid, "SIGKILL");
    } catch {
      // the group has ended
    }
    fs.rmSync(this.profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 100 });
  }
}

class Page {
  constructor(browser, targetId, sessionId) {
    this.browser = browser;
    this.targetId = targetId;
    this.sessionId = sessionId;
    this.requests = [];
    this.errors = [];
    this.waiters = [];
    browser.on((message) => {
      if (message.method === "Network.requestWillBeSent") this.requests.push(message.params.request.url);
      if (message.method === "Runtime.exceptionThrown") this.errors.push(message.params.exceptionDetails);
      if (message.method === "Target.attachedToTarget" && this.owns(message.sessionId)) {
        this.sessions.add(message.params.sessionId);
        this.watch(message.params.sessionId).catch(() => {});
      }
      if (message.sessionId === this.sessionId)
        for (const w of this.waiters.filter((w) => w.method === message.method)) {
          this.waiters.splice(this.waiters.indexOf(w), 1);
          w.resolve(message.params);
        }
    });
    this.sessions = new Set([sessionId]);
  }

  owns(sessionId) {
    return this.sessions.has(sessionId);
  }

  // Records the requests of a session (the page's or a worker's) and attaches its workers.
  async watch(sessionId) {
    await this.browser.send("Network.enable", {}, sessionId);
    await this.browser.send("Runtime.enable", {}, sessionId);
    await this.browser.send("Target.setAutoAttach", { autoAttach: true, waitForDebuggerOnStart: false, flatten: true }, sessionId);
    await this.browser.send("Runtime.runIfWaitingForDebugger", {}, sessionId).catch(() => {});
  }

  send(method, params = {}) {
    return this.browser.send(method, params, this.sessionId);
  }

  event(method) {
    return new Promise((resolve) => this.waiters.push({ method, resolve }));
  }

  // The value of `expression` in the page (a promise is awaited), given back through JSON.
  async evaluate(expression) {
    const { result, exceptionDetails } = await this.send("Runtime.evaluate", {
      expression: "(async () => JSON.stringify(await (" + expression + ")))()",
      awaitPromise: true,
      returnByValue: true,
    });
    if (exceptionDetails) throw new Error((exceptionDetails.exception && exceptionDetails.exception.description) || exceptionDetails.text);
    return result.value === undefined ? undefined : JSON.parse(result.value);
  }

  // The whole page, as tall as its content.
  // The page from its top, at most `maxHeight` CSS pixels of it.
  async screenshot(file, maxHeight = Infinity) {
    const { cssContentSize: size } = await this.send("Page.getLayoutMetrics");
    // Captured beyond the viewport the page has no scroll bar, and lays out across the window.
    const width = Math.max(size.width, await this.evaluate("innerWidth"));
    const clip = { x: 0, y: 0, width, height: Math.min(size.height, maxHeight), scale: 1 };
    const { data } = await this.send("Page.captureScreenshot", { format: "png", captureBeyondViewport: true, clip });
    fs.writeFileSync(file, Buffer.from(data, "base64"));
  }

  async close() {
    await this.browser.send("Target.closeTarget", { targetId: this.targetId });
  }
}

module.exports = { Browser };
