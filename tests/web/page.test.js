// The browser page in headless Chromium, opened from file://, against the command line built from
// the same sources: the same bytes, the same outcome, the same look inside a theme.
"use strict";
const { test, before, after } = require("node:test");
const assert = require("node:assert/strict");
const { execFileSync, spawnSync } = require("node:child_process");
const fs = require("node:fs");
const os = require("node:os");
const path = require("node:path");
const { Browser } = require("./browser.js");

const build = process.env.VEXARO_BUILD || path.resolve(__dirname, "../../build/default");
const pageFile = process.env.VEXARO_PAGE || path.resolve(__dirname, "../../build/web/index.html");
const corpus = process.env.VEXARO_CORPUS_DIR || path.resolve(__dirname, "../../../shared/corpus");
const cli = path.join(build, "src/cli/vexaro-cli");
const pageUrl = "file://" + pageFile;
const sample = path.join(build, "sample/VexaroSample.sis");
const SIEMENS_FILES = ["Siemens/Backgroundimage.mbm", "Siemens/EidPic.mbm", "Siemens/Menu_Folders.mbm"];

// Field texts besides the defaults: the areas swapped, an icon moved, one left empty.
const FIELD_SETS = [{}, { 1: "003", 2: "002", 5: "000", 9: "" }];

const tmp = fs.mkdtempSync(path.join(os.tmpdir(), "vexaro-web-test-"));
let browser;
let page;

// The command line's standard error without the program's name that starts each of its lines.
function withoutPrefix(text) {
  return text.replace(/^vexaro-cli: /gm, "");
}

function corpusThemes() {
  if (!fs.existsSync(corpus)) {
    if (process.env.CI === "true") throw new Error("The corpus is missing at " + corpus);
    return null;
  }
  const found = [];
  const walk = (folder) => {
    for (const entry of fs.readdirSync(folder, { withFileTypes: true }).sort((a, b) => (a.name < b.name ? -1 : 1))) {
      const full = path.join(folder, entry.name);
      if (entry.isDirectory()) walk(full);
      else if (/\.(sis|mbm)$/i.test(entry.name)) found.push(full);
    }
  };
  walk(corpus);
  return found;
}

function setArgs(fields) {
  return Object.entries(fields).flatMap(([n, text]) => ["--set", n + "=" + text]);
}

// What `vexaro-cli convert` makes of `themes` with `fields`, theme by theme: {status, problems (the
// lines joined by "; ", as the summary line shows them), files: {name: Buffer}}; a failed
// theme's reason is what the command line says of it alone.
function cliConversions(themes, fields, out) {
  const run = spawnSync(cli, setArgs(fields).concat(["convert", "--out", out], themes), { cwd: tmp, encoding: "utf8" });
  const results = new Map();
  for (const line of run.stdout.split("\n")) {
    const m = /^(converted|partial) +(.*?) -> (.*?): ([^;]*)(?:; (.*))?$/.exec(line);
    if (m) {
      const files = {};
      for (const name of SIEMENS_FILES.concat("preview.jpg")) {
        const file = path.join(m[3], name);
        if (fs.existsSync(file)) files[name] = fs.readFileSync(file);
      }
      results.set(m[2], { status: m[1], problems: m[5] || "", files });
    }
    const f = /^failed +(.*?)(?: -> .*)?$/.exec(line);
    if (f) {
      // Alone, into a folder of its own: what it says, and the files built before it failed.
      const own = out + "-failed-" + results.size;
      const alone = spawnSync(cli, setArgs(fields).concat(["convert", "--out", own, f[1]]), { cwd: tmp, encoding: "utf8" });
      const files = {};
      for (const folder of fs.existsSync(own) ? fs.readdirSync(own) : [])
        for (const name of SIEMENS_FILES.concat("preview.jpg")) {
          const file = path.join(own, folder, name);
          if (fs.existsSync(file)) files[name] = fs.readFileSync(file);
        }
      const said = withoutPrefix(alone.stderr).slice(f[1].length + 2);
      results.set(f[1], { status: "failed", problems: said.trimEnd().split("\n").join("; "), files });
    }
  }
  assert.equal(results.size, themes.length, run.stdout + run.stderr);
  return results;
}

const fromBase64 = (text) => (text === null ? null : Buffer.from(text, "base64"));

// Vexaro.convert in the page, its bytes handed back in base64.
async function pageConversion(file, fields) {
  const bytes = fs.readFileSync(file).toString("base64");
  const r = await page.evaluate(`(async () => {
    const b64 = (u) => { let s = ""; for (let i = 0; i < u.length; i += 0x8000) s += String.fromCharCode.apply(null, u.subarray(i, i + 0x8000)); return btoa(s); };
    const theme = Uint8Array.from(atob(${JSON.stringify(bytes)}), (c) => c.charCodeAt(0));
    const r = await Vexaro.convert(theme, { name: ${JSON.stringify(file)}, fields: ${JSON.stringify(fields)} });
    const files = {};
    for (const [name, data] of Object.entries(r.files)) files[name] = b64(data);
    return { status: r.status, missing: r.missing, messages: r.messages, files, preview: r.preview && b64(r.preview) };
  })()`);
  const files = {};
  for (const [name, data] of Object.entries(r.files)) files[name] = fromBase64(data);
  if (r.preview) files["preview.jpg"] = fromBase64(r.preview);
  return { status: r.status, missing: r.missing, problems: r.messages.join("; "), files };
}

before(async () => {
  assert.ok(fs.existsSync(pageFile), pageFile + " is missing: ./run web builds it");
  browser = await Browser.launch();
  page = await browser.open(pageUrl);
  assert.equal(await page.evaluate("Vexaro.ready()"), true);
});

after(async () => {
  if (browser) await browser.close();
  fs.rmSync(tmp, { recursive: true, force: true });
});

// The themes the tests make in code: converted, partial and damaged ones.
function madeThemes() {
  const folder = path.join(tmp, "made");
  execFileSync(path.join(build, "tests/web/made_themes"), [folder]);
  return fs.readdirSync(folder).sort().map((name) => path.join(folder, name));
}

test("every theme converts to the command line's bytes, status and messages", async (t) => {
  const themes = [sample].concat(madeThemes());
  const found = corpusThemes();
  if (found) themes.push(...found);
  else t.diagnostic("corpus not found at " + corpus + ": only the sample theme is compared");
  for (const [i, fields] of FIELD_SETS.entries()) {
    const expected = cliConversions(themes, fields, path.join(tmp, "out" + i));
    for (const theme of themes) {
      const want = expected.get(theme);
      const got = await pageConversion(theme, fields);
      const label = path.basename(theme) + " with " + JSON.stringify(fields);
      assert.equal(got.status, want.status, label);
      assert.deepEqual(got.problems, want.problems, label);
      assert.deepEqual(Object.keys(got.files).sort(), Object.keys(want.files).sort(), label);
      for (const name of Object.keys(want.files)) assert.ok(got.files[name].equals(want.files[name]), label + ": " + name + " differs");
    }
  }
});

test("inspect gives the object info --json prints", async () => {
  const themes = [sample].concat(madeThemes(), corpusThemes() || []);
  for (const theme of themes) {
    for (const fields of FIELD_SETS) {
      const info = spawnSync(cli, setArgs(fields).concat(["info", "--json", theme]), { cwd: tmp, encoding: "utf8" });
      const bytes = fs.readFileSync(theme).toString("base64");
      const expression = `Vexaro.inspect(Uint8Array.from(atob(${JSON.stringify(bytes)}), (c) => c.charCodeAt(0)), { name: ${JSON.stringify(theme)}, fields: ${JSON.stringify(fields)} })`;
      if (info.status === 0) assert.deepEqual(await page.evaluate(expression), JSON.parse(info.stdout), theme);
      else await assert.rejects(page.evaluate(expression), (e) => e.message.includes(withoutPrefix(info.stderr).trim().split("\n").pop()), theme);
    }
  }
});

test("a damaged theme or a bomb fails with its message and the page goes on", async () => {
  const cases = [
    { name: "empty.sis", bytes: "" },
    { name: "noise.mbm", bytes: Buffer.from("not a multi-bitmap file at all").toString("base64") },
  ];
  for (const c of cases) {
    const r = await page.evaluate(`Vexaro.convert(Uint8Array.from(atob("${c.bytes}"), (c) => c.charCodeAt(0)), { name: "${c.name}" })`);
    assert.equal(r.status, "failed", c.name);
    assert.ok(r.messages.length > 0 && r.messages[0].length > 0, c.name);
  }
  const after = await pageConversion(sample, {});
  assert.equal(after.status, "converted");
  assert.deepEqual(after.missing, []);
  assert.deepEqual((await pageConversion(sample, { 2: "999", 9: "" })).missing, [2, 9]);
});

// The page as a person uses it: a theme chosen, its pictures drawn, a number changed.
test("the page shows a chosen theme, marks a missing number in words, redraws and downloads", async () => {
  const ui = await browser.open(pageUrl, { width: 1280, height: 900 });
  await ui.evaluate("Vexaro.ready()");
  const { root } = await ui.send("DOM.getDocument");
  const { nodeId } = await ui.send("DOM.querySelector", { nodeId: root.nodeId, selector: "#choose" });
  await ui.send("DOM.setFileInputFiles", { nodeId, files: [sample] });
  const waitFor = (condition) =>
    ui.evaluate(`new Promise((resolve, reject) => { const t0 = Date.now(); const tick = () => { const v = (${condition}); if (v) resolve(v); else if (Date.now() - t0 > 10000) reject(new Error("timed out: ${condition.replace(/"/g, "'")}")); else setTimeout(tick, 20); }; tick(); })`);
  await waitFor(`document.querySelector(".theme .status.converted") && document.querySelectorAll(".bitmaps tbody tr").length`);

  // The Siemens preview on the page is the picture the command line exports, pixel for pixel.
  const workspace = path.join(tmp, "ui-workspace");
  fs.mkdirSync(workspace);
  execFileSync(cli, ["--workspace", workspace, "open", sample], { cwd: tmp });
  execFileSync(cli, ["--workspace", workspace, "preview", path.join(workspace, "shot.bmp")], { cwd: tmp });
  const bmp = fs.readFileSync(path.join(workspace, "shot.bmp"));
  const canvasPixels = async () =>
    Buffer.from(
      await ui.evaluate(`(() => { const c = document.querySelector("canvas[aria-label^='The Siemens']"); return Array.from(c.getContext("2d").getImageData(0, 0, c.width, c.height).data); })()`)
    );
  const shown = await canvasPixels();
  const width = bmp.readInt32LE(18), height = bmp.readInt32LE(22), offset = bmp.readUInt32LE(10);
  const stride = (width * 3 + 3) & ~3;
  assert.equal(shown.length, width * height * 4);
  for (let y = 0; y < height; y++)
    for (let x = 0; x < width; x++) {
      const b = offset + (height - 1 - y) * stride + x * 3, p = (y * width + x) * 4;
      assert.deepEqual([shown[p], shown[p + 1], shown[p + 2]], [bmp[b + 2], bmp[b + 1], bmp[b]], "pixel " + x + "," + y);
    }

  // Downloads: the theme's Siemens files as one zip holding Siemens/.
  const downloads = path.join(tmp, "downloads");
  await browser.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: downloads, eventsEnabled: true });
  const done = new Promise((resolve) => browser.on((m) => m.method === "Browser.downloadProgress" && m.params.state === "completed" && resolve()));
  await ui.evaluate(`document.querySelector(".downloads button").click()`);
  await done;
  const zip = path.join(downloads, fs.readdirSync(downloads)[0]);
  const listing = execFileSync("python3", ["-c", "import sys, zipfile; z = zipfile.ZipFile(sys.argv[1]); assert z.testzip() is None; print('\\n'.join(z.namelist()))", zip], { encoding: "utf8" });
  assert.deepEqual(listing.trim().split("\n"), ["Siemens/Backgroundimage.mbm", "Siemens/EidPic.mbm", "Siemens/Menu_Folders.mbm", "preview.jpg"]);

  // A number the theme lacks: marked with the word "missing", and the preview drawn without it.
  await ui.evaluate(`(() => { const i = document.querySelector("input[id$='-f2']"); i.value = "999"; i.dispatchEvent(new Event("input")); })()`);
  await waitFor(`document.querySelector(".theme .status.partial")`);
  const note = await ui.evaluate(`[document.querySelector("input[id$='-f2']").getAttribute("aria-invalid"), document.querySelector("#" + document.querySelector("input[id$='-f2']").id + "-note").textContent]`);
  assert.deepEqual(note, ["true", "missing"]);
  assert.notDeepEqual(await canvasPixels(), shown);

  // Nothing but the page's own file, its script, the worker's Blob and the module's data.
  const outside = ui.requests.concat(page.requests).filter((url) => !/^(file|blob|data):/.test(url));
  assert.deepEqual(outside, []);
  assert.deepEqual(ui.errors.concat(page.errors), []);
  await ui.close();
});
