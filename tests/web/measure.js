// Figures of the browser page, measured in headless Chromium from file://: the time until the page
// is ready, the sample theme's conversion inside the page, the size of what is loaded; and
// screenshots at 100 % and 200 % with the sample open.
//
//   node tests/web/measure.js [SCREENSHOT_FOLDER]
"use strict";
const fs = require("node:fs");
const path = require("node:path");
const { Browser } = require("./browser.js");

const root = path.resolve(__dirname, "../..");
const pageFile = process.env.VEXARO_PAGE || path.join(root, "build/web/index.html");
const sample = path.join(process.env.VEXARO_BUILD || path.join(root, "build/default"), "sample/VexaroSample.sis");
const shots = process.argv[2];
const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function openSample(page) {
  const { root: doc } = await page.send("DOM.getDocument");
  const { nodeId } = await page.send("DOM.querySelector", { nodeId: doc.nodeId, selector: "#choose" });
  await page.send("DOM.setFileInputFiles", { nodeId, files: [sample] });
  await page.evaluate(`new Promise((resolve) => { const tick = () => document.querySelectorAll(".bitmaps tbody tr").length ? resolve(true) : setTimeout(tick, 20); tick(); })`);
}

(async () => {
  const browser = await Browser.launch();
  try {
    const ready = [];
    for (let i = 0; i < 5; i++) {
      const page = await browser.open("file://" + pageFile);
      ready.push(await page.evaluate("Vexaro.ready().then(() => performance.now())"));
      await page.close();
    }
    const page = await browser.open("file://" + pageFile);
    await page.evaluate("Vexaro.ready()");
    const bytes = fs.readFileSync(sample).toString("base64");
    const times = await page.evaluate(`(async () => {
      const theme = Uint8Array.from(atob("${bytes}"), (c) => c.charCodeAt(0));
      const times = [];
      for (let i = 0; i < 11; i++) {
        const t0 = performance.now();
        const r = await Vexaro.convert(theme, { name: "VexaroSample.sis" });
        if (r.status !== "converted") throw new Error(r.status);
        times.push(performance.now() - t0);
      }
      return times;
    })()`);
    const loaded = ["index.html", "vexaro.js"].map((f) => fs.statSync(path.join(path.dirname(pageFile), f)).size);
    console.log(`page ready from file:// (median of ${ready.length}): ${median(ready).toFixed(0)} ms`);
    console.log(`sample converted inside the page (median of ${times.length}): ${median(times).toFixed(1)} ms (first ${times[0].toFixed(1)} ms)`);
    console.log(`loaded: index.html ${loaded[0]} bytes, vexaro.js (script and WebAssembly) ${loaded[1]} bytes`);
    if (shots) {
      fs.mkdirSync(shots, { recursive: true });
      // 200 %: a window 1280 pixels wide shows 640 CSS pixels, each two device pixels; then a
      // phone-sized screen.
      for (const [name, width, scale] of [["page-100.png", 1280, 1], ["page-200.png", 640, 2], ["page-phone.png", 390, 1]]) {
        const shown = await browser.open("file://" + pageFile, { width, height: 900, scale });
        await openSample(shown);
        await shown.evaluate(`document.querySelector(".bitmap-list").open = true`);
        await shown.screenshot(path.join(shots, name), 1800);
        console.log("screenshot " + path.join(shots, name));
        await shown.close();
      }
    }
  } finally {
    await browser.close();
  }
})().catch((e) => {
  console.error(e);
  process.exit(1);
});
