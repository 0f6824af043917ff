// Zip: a .zip archive of several files, compressed by the browser's own
// compression streams (deflate-raw), nothing fetched or bundled.
//
//   await Zip.make([{name, bytes}]) -> Blob
//   Zip.safeNames([name]) -> [name]
//
// Names are stored as UTF-8 (flag bit 11); times as 1980-01-01, so that the
// same files give the same archive.
'use strict';

const Zip = (() => {
  const crcTable = new Uint32Array(256);
  for (let n = 0; n < 256; ++n) {
    let c = n;
    for (let k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320 ^ (c >>> 1) : c >>> 1;
    crcTable[n] = c >>> 0;
  }

  function crc32(bytes) {
    let crc = 0xFFFFFFFF;
    for (let i = 0; i < bytes.length; ++i) crc = crcTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >>> 8);
    return (crc ^ 0xFFFFFFFF) >>> 0;
  }

  async function deflate(bytes) {
    if (typeof CompressionStream === 'undefined') return null;
    try {
      const stream = new Blob([bytes]).stream().pipeThrough(new CompressionStream('deflate-raw'));
      return new Uint8Array(await new Response(stream).arrayBuffer());
    } catch {
      return null;  // no deflate-raw: stored
    }
  }

  async function make(files) {
    const encoder = new TextEncoder();
    const parts = [];
    const central = [];
    let offset = 0;
    for (const file of files) {
      const name = encoder.encode(file.name);
      const data = file.bytes;
      const crc = crc32(data);
      const packed = await deflate(data);
      const deflated = packed !== null && packed.length < data.length;
      const body = deflated ? packed : data;
      const local = new DataView(new ArrayBuffer(30));
      local.setUint32(0, 0x04034B50, true);
      local.setUint16(4, 20, true);
      local.setUint16(6, 0x0800, true);
      local.setUint16(8, deflated ? 8 : 0, true);
      local.setUint16(10, 0, true);
      local.setUint16(12, 0x21, true);  // 1980-01-01
      local.setUint32(14, crc, true);
      local.setUint32(18, body.length, true);
      local.setUint32(22, data.length, true);
      local.setUint16(26, name.length, true);
      local.setUint16(28, 0, true);
      parts.push(local.buffer, name, body);
      const entry = new DataView(new ArrayBuffer(46));
      entry.setUint32(0, 0x02014B50, true);
      entry.setUint16(4, 20, true);
      entry.setUint16(6, 20, true);
      entry.setUint16(8, 0x0800, true);
      entry.setUint16(10, deflated ? 8 : 0, true);
      entry.setUint16(12, 0, true);
      entry.setUint16(14, 0x21, true);
      entry.setUint32(16, crc, true);
      entry.setUint32(20, body.length, true);
      entry.setUint32(24, data.length, true);
      entry.setUint16(28, name.length, true);
      entry.setUint32(42, offset, true);
      central.push(entry.buffer, name);
      offset += 30 + name.length + body.length;
    }
    const centralSize = central.reduce((sum, part) => sum + part.byteLength, 0);
    const end = new DataView(new ArrayBuffer(22));
    end.setUint32(0, 0x06054B50, true);
    end.setUint16(8, files.length, true);
    end.setUint16(10, files.length, true);
    end.setUint32(12, centralSize, true);
    end.setUint32(16, offset, true);
    return new Blob([...parts, ...central, end.buffer], { type: 'application/zip' });
  }

  // Names that every system unpacks as plain files in the folder chosen:
  // no folder (whatever follows the last / or \\), no control or direction
  // characters, none that Windows refuses (<>:"|?*, CON, NUL, COM1.txt...),
  // no leading dot (hidden, or "..") and no trailing dot or space, at most
  // 200 bytes, and no two the same, however their letters are cased (the
  // later ones numbered: song-2.mml). A name that is already all of that
  // stays as it is.
  const kReserved = /^(con|prn|aux|nul|com[0-9¹²³]|lpt[0-9¹²³])$/i;
  const kMaxBytes = 200;
  function safeName(name) {
    const encoder = new TextEncoder();
    const base = String(name).split(/[/\\]/).pop()
      .replace(/[\u0000-\u001F\u007F-\u009F\u200E\u200F\u202A-\u202E\u2066-\u2069<>:"|?*]/g, '_');
    let safe = base.replace(/^[. ]+/, '').replace(/[. ]+$/, '');
    // What was only an extension (".mml") keeps it, after a name.
    if (safe !== base && /^\.[^.]+$/.test(base.trim())) safe = `vantrel${base.trim()}`;
    if (kReserved.test(safe.split('.')[0].trimEnd())) safe = `_${safe}`;
    if (encoder.encode(safe).length > kMaxBytes) {
      const dot = safe.lastIndexOf('.');
      const extension = dot > 0 && safe.length - dot <= 10 ? safe.slice(dot) : '';
      let stem = [...safe.slice(0, safe.length - extension.length)];
      while (encoder.encode(stem.join('') + extension).length > kMaxBytes) stem.pop();
      safe = stem.join('').replace(/[. ]+$/, '') + extension;
    }
    return safe || 'vantrel';
  }
  function safeNames(names) {
    const used = new Set();
    return names.map((name) => {
      const safe = safeName(name);
      const dot = safe.lastIndexOf('.');
      const [stem, extension] = dot > 0 ? [safe.slice(0, dot), safe.slice(dot)] : [safe, ''];
      let unique = safe;
      for (let n = 2; used.has(unique.toLowerCase()); ++n) unique = `${stem}-${n}${extension}`;
      used.add(unique.toLowerCase());
      return unique;
    });
  }

  return { make, crc32, safeNames };
})();
