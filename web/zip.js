// A zip file of stored (uncompressed) entries: the Siemens files and JPEG pictures gain nothing
// from deflate, and a stored zip is a few lines. Names are UTF-8 (flag bit 11 set when not ASCII).
const vexaroZip = (() => {
  const crcTable = new Uint32Array(256);
  for (let n = 0; n < 256; n++) {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    crcTable[n] = c >>> 0;
  }
  function crc32(bytes) {
    let c = 0xffffffff;
    for (let i = 0; i < bytes.length; i++) c = crcTable[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
    return (c ^ 0xffffffff) >>> 0;
  }
  // MS-DOS time and date of `when` (local time, from 1980 on).
  function dosTime(when) {
    const year = Math.max(when.getFullYear(), 1980);
    return {
      time: (when.getHours() << 11) | (when.getMinutes() << 5) | (when.getSeconds() >> 1),
      date: ((year - 1980) << 9) | ((when.getMonth() + 1) << 5) | when.getDate(),
    };
  }
  // entries: [{name, bytes: Uint8Array}] in the order they are to be stored.
  return function zip(entries, when = new Date()) {
    const encoder = new TextEncoder();
    const { time, date } = dosTime(when);
    const records = entries.map((e) => {
      const name = encoder.encode(e.name);
      return { name, bytes: e.bytes, crc: crc32(e.bytes), utf8: name.length !== e.name.length || /[^\x20-\x7e]/.test(e.name) };
    });
    let size = 22;
    for (const r of records) size += 30 + 46 + 2 * r.name.length + r.bytes.length;
    if (records.length > 0xffff || size > 0xffffffff) throw new Error("Too much for one zip file");
    const out = new Uint8Array(size);
    const view = new DataView(out.buffer);
    let at = 0;
    const u16 = (v) => { view.setUint16(at, v, true); at += 2; };
    const u32 = (v) => { view.setUint32(at, v, true); at += 4; };
    const header = (r, central) => {
      u16(20); // version needed: 2.0
      u16(r.utf8 ? 0x0800 : 0); // flags
      u16(0); // stored
      u16(time); u16(date);
      u32(r.crc); u32(r.bytes.length); u32(r.bytes.length);
      u16(r.name.length);
      u16(0); // extra field
      if (central) {
        u16(0); u16(0); u16(0); // comment, disk, internal attributes
        u32(0); // external attributes
        u32(r.offset);
      }
    };
    for (const r of records) {
      r.offset = at;
      u32(0x04034b50);
      header(r, false);
      out.set(r.name, at); at += r.name.length;
      out.set(r.bytes, at); at += r.bytes.length;
    }
    const central = at;
    for (const r of records) {
      u32(0x02014b50);
      u16(20); // made by: MS-DOS, 2.0
      header(r, true);
      out.set(r.name, at); at += r.name.length;
    }
    const centralSize = at - central;
    u32(0x06054b50);
    u16(0); u16(0);
    u16(records.length); u16(records.length);
    u32(centralSize); u32(central);
    u16(0); // comment
    return out;
  };
})();
