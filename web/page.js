// The page and its script interface, Vexaro.convert and Vexaro.inspect. Every call runs in one
// worker made from the function vexaroWorker (a page opened from the disk may not start a worker
// from a file); nothing is sent anywhere and nothing is stored unless the user downloads it.
(() => {
  "use strict";

  const SIEMENS_FILES = ["Siemens/Backgroundimage.mbm", "Siemens/EidPic.mbm", "Siemens/Menu_Folders.mbm"];

  // ---- The worker and the calls ----

  let worker = null;
  let nextId = 1;
  const pending = new Map();

  function startWorker() {
    const source = "(" + vexaroWorker.toString() + ")()";
    const url = URL.createObjectURL(new Blob([source], { type: "text/javascript" }));
    worker = new Worker(url);
    URL.revokeObjectURL(url);
    worker.onmessage = (event) => {
      const { id, error, header, parts } = event.data;
      const call = pending.get(id);
      if (!call) return;
      pending.delete(id);
      if (error !== undefined) call.reject(new Error(error));
      else call.resolve({ header, parts });
    };
    // A worker that died (its memory exhausted, say) fails what it was doing; the next call
    // starts a new one.
    worker.onerror = (event) => {
      event.preventDefault();
      const message = event.message || "The converter stopped";
      for (const call of pending.values()) call.reject(new Error(message));
      pending.clear();
      worker.terminate();
      worker = null;
    };
  }

  function toBytes(bytes) {
    if (bytes instanceof Uint8Array) return bytes;
    if (bytes instanceof ArrayBuffer) return new Uint8Array(bytes);
    if (ArrayBuffer.isView(bytes)) return new Uint8Array(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    throw new TypeError("Vexaro: a theme is given as a Uint8Array or an ArrayBuffer");
  }

  // The fifteen field texts: `fields` maps numbers 1 to 15 to texts; the others keep `defaults`.
  function fieldTexts(fields, defaults) {
    const texts = defaults.slice();
    for (const [key, text] of Object.entries(fields || {})) {
      const n = Number(key);
      if (!Number.isInteger(n) || n < 1 || n > 15) throw new RangeError("Vexaro: no field " + key + " (fields are 1 to 15)");
      texts[n - 1] = String(text);
    }
    return texts;
  }

  function call(name, bytes, options = {}) {
    const theme = toBytes(bytes);
    return defaultsReady.then((defaults) => {
      if (!worker) startWorker();
      const id = nextId++;
      const message = {
        id,
        call: name,
        theme,
        name: options.name || "theme",
        type: options.type || typeFromName(options.name),
        fields: fieldTexts(options.fields, defaults),
      };
      return new Promise((resolve, reject) => {
        pending.set(id, { resolve, reject });
        worker.postMessage(message);
      });
    });
  }

  function typeFromName(name) {
    const match = /\.(sis|mbm)$/i.exec(name || "");
    return match ? match[1].toLowerCase() : "";
  }

  // The defaults of the fifteen fields and what each one is, from the core's table.
  let fieldTable = null;
  const defaultsReady = new Promise((resolve, reject) => {
    startWorker();
    const id = nextId++;
    pending.set(id, {
      resolve: ({ header }) => {
        fieldTable = header.fields;
        resolve(fieldTable.map((f) => f.text));
      },
      reject,
    });
    worker.postMessage({ id, call: "fields", theme: new Uint8Array(0), name: "", type: "", fields: [] });
  });

  function conversion(header, parts) {
    const files = {};
    for (const name of SIEMENS_FILES) if (parts[name]) files[name] = parts[name];
    return {
      status: header.status,
      missing: header.missing,
      messages: header.messages,
      files,
      preview: parts["preview.jpg"] || null,
    };
  }

  const Vexaro = Object.freeze({
    version: VEXARO_VERSION,
    // Converts a theme (.sis or .mbm bytes) as `vexaro-cli convert` does. options: {fields: {2:
    // "005"}, name: "Theme.sis", type: "sis" or "mbm"}; without a type or a name that tells, the
    // bytes tell. Resolves to {status, missing, messages, files, preview}.
    convert(bytes, options = {}) {
      return call("convert", bytes, options).then(({ header, parts }) => conversion(header, parts));
    },
    // The object `vexaro-cli info --json` prints of the theme; options as for convert.
    inspect(bytes, options = {}) {
      return call("inspect", bytes, options).then(({ header }) => header.facts);
    },
    ready: () => defaultsReady.then(() => true),
  });
  self.Vexaro = Vexaro;

  if (typeof document === "undefined") return;

  // ---- The page ----

  const $ = (selector, root = document) => root.querySelector(selector);
  const make = (tag, attributes = {}, ...children) => {
    const element = document.createElement(tag);
    for (const [key, value] of Object.entries(attributes)) {
      if (key === "text") element.textContent = value;
      else if (key.startsWith("on")) element.addEventListener(key.slice(2), value);
      else element.setAttribute(key, value);
    }
    element.append(...children);
    return element;
  };

  const themes = [];

  function announce(text) {
    $("#announce").textContent = text;
  }

  function download(name, bytes, type) {
    const url = URL.createObjectURL(new Blob([bytes], { type }));
    const link = make("a", { href: url, download: name });
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(url), 0);
  }

  function baseName(name) {
    const stem = name.replace(/\.[^.]*$/, "");
    return stem && stem !== "." && stem !== ".." ? stem : "theme";
  }

  // Each theme's folder in a zip of several: its name, made unique without regard to case.
  function folderNames(list) {
    const seen = new Set();
    return list.map((theme) => {
      const name = baseName(theme.name);
      let chosen = name;
      for (let n = 2; seen.has(chosen.toLowerCase()); n++) chosen = name + "-" + n;
      seen.add(chosen.toLowerCase());
      return chosen;
    });
  }

  function themeEntries(theme, folder) {
    const prefix = folder ? folder + "/" : "";
    const entries = [];
    for (const name of SIEMENS_FILES) if (theme.parts[name]) entries.push({ name: prefix + name, bytes: theme.parts[name] });
    if (theme.parts["preview.jpg"]) entries.push({ name: prefix + "preview.jpg", bytes: theme.parts["preview.jpg"] });
    return entries;
  }

  function paint(canvas, picture, bytes) {
    canvas.width = picture.width;
    canvas.height = picture.height;
    const image = new ImageData(new Uint8ClampedArray(bytes.buffer, bytes.byteOffset, bytes.byteLength), picture.width, picture.height);
    canvas.getContext("2d").putImageData(image, 0, 0);
  }

  function updateAllButton() {
    const ready = themes.filter((t) => t.header && t.header.status !== "failed");
    const button = $("#download-all");
    button.disabled = ready.length === 0;
    button.textContent = ready.length > 1 ? "Download all " + ready.length + " themes (.zip)" : "Download all themes (.zip)";
  }

  function describeStatus(theme) {
    const h = theme.header;
    const lines = [];
    if (h.status === "converted") lines.push("Converted: all three Siemens files are built.");
    else if (h.status === "partial") lines.push("Partial: some bitmaps are missing; what could be built is kept.");
    else lines.push("Failed: nothing could be built.");
    for (const line of h.messages) lines.push(line);
    return lines;
  }

  function renderOutcome(theme) {
    const h = theme.header;
    const status = theme.view.status;
    status.className = "status " + h.status;
    status.replaceChildren(...describeStatus(theme).map((line, i) => make(i === 0 ? "strong" : "span", { text: line })));

    for (const picture of h.pictures || []) {
      const canvas = theme.view.canvases[picture.name];
      if (canvas) paint(canvas, picture, theme.parts[picture.name]);
    }
    const facts = h.facts;
    for (const f of facts ? facts.fields : []) {
      const row = theme.view.fields[f.field - 1];
      const missing = !f.exists;
      row.input.setAttribute("aria-invalid", missing ? "true" : "false");
      row.row.classList.toggle("missing", missing);
      row.note.textContent = missing ? (f.text === "" ? "empty" : f.bitmap === null ? "not a bitmap number" : "missing") : f.width + "\u00d7" + f.height;
    }
    for (const button of theme.view.downloads) {
      const name = button.dataset.part;
      button.disabled = name ? !theme.parts[name] : h.status === "failed";
    }
    updateAllButton();
  }

  // Converts the theme with its fields as they stand; a newer change wins over an older one.
  async function refresh(theme) {
    const run = ++theme.run;
    const fields = {};
    theme.view.fields.forEach((row, i) => (fields[i + 1] = row.input.value));
    try {
      const answer = await call("page", theme.bytes, { name: theme.name, fields });
      if (run !== theme.run) return;
      theme.header = answer.header;
      theme.parts = answer.parts;
      renderOutcome(theme);
      return true;
    } catch (e) {
      if (run !== theme.run) return;
      theme.header = { status: "failed", missing: [], messages: [e.message], pictures: [] };
      theme.parts = {};
      renderOutcome(theme);
      return false;
    }
  }

  function fieldRows(theme) {
    return fieldTable.map((f, i) => {
      const id = "t" + theme.id + "-f" + f.field;
      const input = make("input", {
        id,
        type: "text",
        value: f.text,
        inputmode: "numeric",
        autocomplete: "off",
        spellcheck: "false",
        "aria-describedby": id + "-note",
        oninput: () => refresh(theme),
      });
      const note = make("span", { id: id + "-note", class: "note" });
      const row = make("div", { class: "field" }, make("label", { for: id, text: f.field + " " + f.name }), input, note);
      return { row, input, note, index: i };
    });
  }

  function bitmapTable(theme, header, parts) {
    const thumbnails = new Map(header.thumbnails.map((t) => [t.name, t]));
    const rows = header.facts.bitmaps.map((b) => {
      const cell = make("td");
      const thumbnail = thumbnails.get("thumb-" + b.number);
      if (thumbnail) {
        const canvas = make("canvas", { "aria-hidden": "true" });
        paint(canvas, thumbnail, parts[thumbnail.name]);
        cell.append(canvas);
      } else {
        cell.append(make("span", { text: b.fault ? "cannot be unpacked: " + b.fault : "" }));
      }
      const number = String(b.number).padStart(3, "0");
      const depth = b.bpp + (b.mode === "colour" ? "" : " " + b.mode);
      return make("tr", {}, cell, make("th", { scope: "row", text: number }), make("td", { text: b.width + "\u00d7" + b.height }), make("td", { text: depth }));
    });
    return make(
      "table",
      { class: "bitmaps" },
      make("caption", { text: header.facts.bitmaps.length + " bitmaps in the theme" }),
      make("thead", {}, make("tr", {}, make("th", { scope: "col", text: "picture" }), make("th", { scope: "col", text: "number" }), make("th", { scope: "col", text: "size" }), make("th", { scope: "col", text: "bits" }))),
      make("tbody", {}, ...rows)
    );
  }

  function canvasFigure(caption, name, canvases) {
    const canvas = make("canvas", { role: "img", "aria-label": caption });
    canvases[name] = canvas;
    return make("figure", {}, canvas, make("figcaption", { text: caption }));
  }

  function themeView(theme) {
    const canvases = {};
    const fields = fieldRows(theme);
    const downloads = [];
    const button = (text, action, part) => {
      const b = make("button", { type: "button", text, onclick: action, disabled: "" });
      if (part) b.dataset.part = part;
      downloads.push(b);
      return b;
    };
    const base = baseName(theme.name);
    const section = make(
      "section",
      { class: "theme", "aria-labelledby": "t" + theme.id + "-name" },
      make("h2", { id: "t" + theme.id + "-name", text: theme.name }),
      make("p", { class: "status", role: "status" }),
      make(
        "div",
        { class: "downloads" },
        button("Siemens files (.zip)", () => download(base + "-Siemens.zip", vexaroZip(themeEntries(theme, "")), "application/zip")),
        ...SIEMENS_FILES.map((name) => button(name.slice(8), () => download(name.slice(8), theme.parts[name], "application/octet-stream"), name)),
        button("Preview (.jpg)", () => download(base + "-preview.jpg", theme.parts["preview.jpg"], "image/jpeg"), "preview.jpg"),
        make("button", { type: "button", class: "remove", text: "Close", "aria-label": "Close " + theme.name, onclick: () => removeTheme(theme) })
      ),
      make(
        "div",
        { class: "pictures" },
        make(
          "div",
          { class: "source" },
          make("h3", { text: "Nokia theme" }),
          canvasFigure("Screen: status, main and control area", "image2", canvases),
          canvasFigure("Menu icons", "menu", canvases),
          canvasFigure("Menu icons, second form", "submenu", canvases)
        ),
        make("div", { class: "target" }, make("h3", { text: "Siemens preview" }), canvasFigure("The Siemens phone's screen", "image1", canvases)),
        make(
          "fieldset",
          { class: "fields" },
          make("legend", { text: "Bitmap numbers" }),
          make("p", { class: "hint", text: "Each field names the bitmap of one screen area or icon; a field marked \u201cmissing\u201d names none the theme has." }),
          ...fields.map((f) => f.row)
        )
      ),
      make("details", { class: "bitmap-list" }, make("summary", { text: "The theme's bitmaps" }))
    );
    return { section, status: $(".status", section), canvases, fields, downloads, details: $(".bitmap-list", section) };
  }

  function removeTheme(theme) {
    theme.run++;
    theme.view.section.remove();
    themes.splice(themes.indexOf(theme), 1);
    updateAllButton();
    announce(theme.name + " closed");
    $("#choose").focus();
  }

  let themeIds = 0;
  async function openFile(file) {
    const theme = { id: ++themeIds, name: file.name, run: 0, header: null, parts: {} };
    try {
      theme.bytes = new Uint8Array(await file.arrayBuffer());
    } catch (e) {
      announce("Cannot read " + file.name + ": " + e.message);
      return;
    }
    theme.view = themeView(theme);
    themes.push(theme);
    $("#themes").append(theme.view.section);
    const ok = await refresh(theme);
    announce(file.name + ": " + (theme.header ? theme.header.status : "failed"));
    if (ok === false) return;
    call("bitmaps", theme.bytes, { name: theme.name })
      .then(({ header, parts }) => theme.view.details.append(bitmapTable(theme, header, parts)))
      .catch((e) => theme.view.details.append(make("p", { text: e.message })));
  }

  // Files chosen before the converter has started wait for it: the fields come from it.
  async function openFiles(files) {
    try {
      await defaultsReady;
    } catch (e) {
      return;
    }
    for (const file of files) await openFile(file);
  }

  function downloadAll() {
    const ready = themes.filter((t) => t.header && t.header.status !== "failed");
    const names = folderNames(ready);
    const entries = ready.flatMap((theme, i) => themeEntries(theme, names[i]));
    download(ready.length === 1 ? baseName(ready[0].name) + "-Siemens.zip" : "Siemens-themes.zip", vexaroZip(entries), "application/zip");
  }

  function start() {
    const input = $("#choose");
    input.addEventListener("change", () => {
      openFiles(Array.from(input.files));
      input.value = "";
    });
    $("#download-all").addEventListener("click", downloadAll);
    const drop = $("#drop");
    document.addEventListener("dragover", (event) => {
      event.preventDefault();
      drop.classList.add("over");
    });
    document.addEventListener("dragleave", (event) => {
      if (!event.relatedTarget) drop.classList.remove("over");
    });
    document.addEventListener("drop", (event) => {
      event.preventDefault();
      drop.classList.remove("over");
      openFiles(Array.from(event.dataTransfer.files));
    });
    defaultsReady.then(
      () => {
        document.body.dataset.ready = "true";
        announce("Ready");
      },
      (e) => announce("The converter could not start: " + e.message)
    );
  }

  if (document.readyState === "loading") document.addEventListener("DOMContentLoaded", start);
  else start();
})();
