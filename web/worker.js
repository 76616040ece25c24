// The worker: runs the core's calls (WebCalls.cpp) for the page. A message
// {id, call, theme: Uint8Array, name, type, fields: [15 texts]} is answered with
// {id, header, parts: {name: Uint8Array}}, or {id, error} when the call failed. A call that traps (a failed allocation
// beyond what the core can catch) leaves the module unusable, so the next call starts a new one.
let vexaroCore = null;
const vexaroEncoder = new TextEncoder();
const vexaroDecoder = new TextDecoder();

function vexaroRequest(name, type, fields) {
  const texts = [name || "", type || ""].concat(fields).map((t) => String(t).replace(/\0/g, ""));
  return vexaroEncoder.encode(texts.join("\0") + "\0");
}

function vexaroCopyIn(core, bytes) {
  const at = core._malloc(Math.max(bytes.length, 1));
  if (!at) throw new Error("Out of memory");
  core.HEAPU8.set(bytes, at);
  return at;
}

function vexaroCall(core, call, theme, request) {
  const themeAt = vexaroCopyIn(core, theme);
  const requestAt = vexaroCopyIn(core, request);
  let block;
  try {
    block = core["_vexaro_" + call](themeAt, theme.length, requestAt);
  } finally {
    core._free(themeAt);
    core._free(requestAt);
  }
  if (!block) throw new Error("Out of memory");
  try {
    const heap = core.HEAPU8;
    const length = (heap[block] | (heap[block + 1] << 8) | (heap[block + 2] << 16) | (heap[block + 3] << 24)) >>> 0;
    const header = JSON.parse(vexaroDecoder.decode(heap.subarray(block + 4, block + 4 + length)));
    const base = block + 4 + length;
    const parts = {};
    for (const p of header.parts) parts[p.name] = heap.slice(base + p.offset, base + p.offset + p.size);
    delete header.parts;
    return { header, parts };
  } finally {
    core._vexaro_free(block);
  }
}

onmessage = async (event) => {
  const { id, call, theme, name, type, fields } = event.data;
  try {
    if (!vexaroCore) vexaroCore = VexaroCore();
    const core = await vexaroCore;
    let answer;
    try {
      answer = vexaroCall(core, call, theme, vexaroRequest(name, type, fields));
    } catch (e) {
      vexaroCore = null;
      throw e;
    }
    if (answer.header.error !== undefined) throw new Error(answer.header.error);
    postMessage({ id, header: answer.header, parts: answer.parts }, Object.values(answer.parts).map((p) => p.buffer));
  } catch (e) {
    postMessage({ id, error: String((e && e.message) || e) });
  }
};
