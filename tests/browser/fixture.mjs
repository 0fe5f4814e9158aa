// The test home and project: built from the text files in fixture/ into a
// fresh folder, with pictures drawn at build time. The same files are read
// back here so that the tests compute their expectations from the catalog's
// own numbers.

import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import zlib from 'node:zlib';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
export const fixtureDir = path.join(here, 'fixture');
export const projectName = 'Teeladen';
// Served besides the home country; both must be in the shipped country table.
export const servedCountries = ['Germany', 'United Kingdom'];

// ------------------------------------------------------------ ini files --

// Sections in file order, each an array of [key, value] in file order.
// The shop's files are single-byte text; latin1 keeps every byte.
export function parseIni(text) {
  const sections = new Map();
  let current = null;
  for (const raw of text.split(/\r?\n/)) {
    const line = raw.trim();
    if (line === '' || line.startsWith(';')) continue;
    const m = /^\[(.*)\]$/.exec(line);
    if (m) {
      current = m[1];
      if (!sections.has(current)) sections.set(current, []);
      continue;
    }
    const eq = line.indexOf('=');
    if (current === null || eq < 0) continue;
    sections.get(current).push([line.slice(0, eq), line.slice(eq + 1)]);
  }
  return sections;
}

export function iniValue(sections, section, key, fallback = '') {
  const entries = sections.get(section);
  if (!entries) return fallback;
  const hit = entries.find(([k]) => k.toLowerCase() === key.toLowerCase());
  return hit ? hit[1] : fallback;
}

// The program's files are single-byte text; the fixture's own are UTF-8.
function readText(file) {
  return fs.readFileSync(file, file.startsWith(fixtureDir + path.sep) ? 'utf8' : 'latin1');
}

// Sets (or appends) key=value in one section of an ini text.
export function setIniKey(text, section, key, value) {
  const lines = text.split(/\r\n/);
  let inSection = false;
  let sectionEnd = -1;
  for (let i = 0; i < lines.length; i++) {
    const m = /^\[(.*)\]\s*$/.exec(lines[i]);
    if (m) {
      if (inSection) { sectionEnd = i; break; }
      inSection = m[1] === section;
      continue;
    }
    if (inSection && lines[i].toLowerCase().startsWith(key.toLowerCase() + '=')) {
      lines[i] = key + '=' + value;
      return lines.join('\r\n');
    }
  }
  if (!inSection && sectionEnd < 0) throw new Error(`no section [${section}] in the ini text`);
  if (sectionEnd < 0) sectionEnd = lines.length;
  lines.splice(sectionEnd, 0, key + '=' + value);
  return lines.join('\r\n');
}

// ------------------------------------------------------------- catalog --

// What the tests need to know of the fixture, read from its files.
export function readCatalog(homeDir) {
  const shp = parseIni(readText(path.join(fixtureDir, projectName + '.shp')));
  const profile = parseIni(readText(path.join(fixtureDir, 'daten', 'shopprofil.ini')));
  const groupNames = parseIni(readText(path.join(fixtureDir, 'daten', 'groups.ini')));
  const settings = parseIni(readText(path.join(fixtureDir, 'quillane.ini')));
  const countryTable = parseIni(readText(path.join(homeDir, 'countries.dat')));

  const quantityLevels = (profile.get('Mengenrabatt') || []).map(([, v]) => v);
  const priceLevels = (profile.get('Preisrabatt') || []).map(([, v]) => v);

  // Shop groups: sections with at least one shown item, numbered in file order.
  const groups = [];
  for (const [section, entries] of shp) {
    if (!/^\d+$/.test(section)) continue;
    const surcharge = Number(iniValue(shp, section, 'Versand', '0'));
    const items = [];
    for (const [key, value] of entries) {
      if (key.toLowerCase() === 'versand') continue;
      const f = value.split('|');
      if (f[4] === '0') continue;
      const dash = f[0].indexOf(' - ');
      items.push({
        key,
        fullName: f[0],
        name: dash < 0 ? f[0] : f[0].slice(0, dash),
        descr: dash < 0 ? '' : f[0].slice(dash + 3),
        price: Number(f[1]),
        levels: f[3] ? f[3].split(':').map((p) => quantityLevels[Number(p)]) : [],
      });
    }
    if (items.length === 0) continue;
    groups.push({ section, index: groups.length, surcharge, items, paths: {} });
  }
  for (const [language, entries] of groupNames) {
    for (const [number, value] of entries) {
      const g = groups.find((x) => x.section === number);
      if (g) g.paths[language] = value.split('|');
    }
  }
  const hidden = [];
  for (const [section, entries] of shp) {
    for (const [key, value] of entries) {
      if (key.toLowerCase() !== 'versand' && value.split('|')[4] === '0') hidden.push({ section, key, name: value.split('|')[0] });
    }
  }

  const homeName = iniValue(settings, 'Account', 'Country');
  const home = countryTable.get(homeName) ? homeName : null;
  const countries = [homeName, ...servedCountries.filter((c) => c !== homeName)].map((name) => {
    const v = (k, d) => iniValue(countryTable, name, k, d);
    const code = v('CountryCode', '').toLowerCase();
    const currencyCode = v('CurrencyCode', '\x80');
    return {
      name,
      code,
      nativeName: v('CountryNative', name).split(',')[0],
      language: v('LanguageSelected', v('LanguageDefault', 'english').split(',')[0]).toLowerCase(),
      eu: Number(v('EU', '0')) >= 1,
      vatPercent: Number(v('VAT', '0')),
      euroRate: Number(v('EuroRate', '1')),
      // The byte 0x80 of the table is the euro sign in the browser.
      currency: v('CurrencySymbol', currencyCode).replace(/\x80/g, '\u20ac'),
      shippingFee: Number(iniValue(profile, name, 'Shipping', '0')),
      codFee: Number(iniValue(profile, name, 'CodFee', '0')),
      payments: ['vk', 'nn'].filter((k) => iniValue(profile, name, k, '0') === '1'),
    };
  });

  const homeCountry = countries[0];
  return {
    home,
    groups,
    hidden,
    quantityLevels,
    priceLevels,
    freeDelivery: Number(iniValue(profile, 'Invoice', 'Freihaus', '0')),
    packing: Number(iniValue(profile, 'Invoice', 'Verpackung', '0')),
    homeVat: 1 + homeCountry.vatPercent / 100,
    countries,
    userId: iniValue(settings, 'Account', 'UserID'),
    itemsPerPage: {
      std: Number(iniValue(profile, 'Creation', 'view_std', '10')),
      pro: Number(iniValue(profile, 'Creation', 'view_pro', '5')),
      dtl: Number(iniValue(profile, 'Creation', 'view_dtl', '3')),
    },
    item(key) {
      for (const g of groups) {
        const it = g.items.find((i) => i.key === key);
        if (it) return { ...it, group: g.index, surcharge: g.surcharge };
      }
      throw new Error('no shown item ' + key + ' in the fixture');
    },
    country(name) {
      const c = countries.find((x) => x.name === name);
      if (!c) throw new Error('no served country ' + name);
      return c;
    },
    pictureCount(key) {
      const pics = parseIni(readText(path.join(fixtureDir, 'daten', 'pictures.ini')));
      return (pics.get(key) || []).length;
    },
    // The lines of an item's description. A test compares what the page
    // shows with them, which proves nothing without a line to compare.
    description(language, key) {
      const file = path.join(fixtureDir, 'daten', language, itemFileName(key) + '.txt');
      const lines = fs.existsSync(file) ? readText(file).split(/\r?\n/).filter((l) => l.trim() !== '') : [];
      if (lines.length === 0) throw new Error(`the fixture has no ${language} description of ${key}`);
      return lines;
    },
  };
}

// The name the program gives an item's files: "/" and "\" cannot stand in
// a file name.
export function itemFileName(key) {
  return key.replace(/[\/\\]/g, '_');
}

// --------------------------------------------------------------- words --

// The shop words of a language file, keys in lower case.
export function readWords(homeDir, language) {
  const file = path.join(homeDir, 'sprache', language + '.lng');
  const words = {};
  for (const section of ['kontakt', 'rechnung', 'shop']) {
    for (const [k, v] of parseIni(readText(file)).get(section) || []) {
      words[k.toLowerCase()] = v;
    }
  }
  return words;
}

// ------------------------------------------------------------ pictures --

const crcTable = (() => {
  const t = new Uint32Array(256);
  for (let n = 0; n < 256; n++) {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    t[n] = c >>> 0;
  }
  return t;
})();

function crc32(buf) {
  let c = 0xffffffff;
  for (const b of buf) c = crcTable[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function pngChunk(type, data) {
  const len = Buffer.alloc(4);
  len.writeUInt32BE(data.length);
  const body = Buffer.concat([Buffer.from(type, 'ascii'), data]);
  const crc = Buffer.alloc(4);
  crc.writeUInt32BE(crc32(body));
  return Buffer.concat([len, body, crc]);
}

// A plain RGB picture: a coloured field with a darker diagonal band, so that
// a screenshot shows which picture stands where.
export function makePng(width, height, [r, g, b]) {
  const rows = [];
  for (let y = 0; y < height; y++) {
    const row = Buffer.alloc(1 + width * 3);
    for (let x = 0; x < width; x++) {
      const band = Math.abs(x * height / width - y) < height / 8;
      row[1 + x * 3] = band ? r >> 1 : r;
      row[2 + x * 3] = band ? g >> 1 : g;
      row[3 + x * 3] = band ? b >> 1 : b;
    }
    rows.push(row);
  }
  const header = Buffer.alloc(13);
  header.writeUInt32BE(width, 0);
  header.writeUInt32BE(height, 4);
  header[8] = 8; // bit depth
  header[9] = 2; // RGB
  return Buffer.concat([
    Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]),
    pngChunk('IHDR', header),
    pngChunk('IDAT', zlib.deflateSync(Buffer.concat(rows))),
    pngChunk('IEND', Buffer.alloc(0)),
  ]);
}

const pictures = {
  'assam-1.png': [320, 240, [200, 120, 40]],
  'assam-2.png': [240, 320, [60, 140, 60]],
  'espresso.png': [300, 300, [90, 60, 40]],
  'teekanne.png': [400, 260, [70, 130, 200]],
  'ceylon.png': [280, 280, [190, 80, 50]],
};

// ---------------------------------------------------------------- build --

function copyTree(from, to) {
  fs.mkdirSync(to, { recursive: true });
  for (const entry of fs.readdirSync(from, { withFileTypes: true })) {
    const src = path.join(from, entry.name);
    const dst = path.join(to, entry.name);
    if (entry.isDirectory()) copyTree(src, dst);
    else fs.copyFileSync(src, dst);
  }
}

// Text files of the fixture are kept in UTF-8 and written as the program
// reads them: single-byte, CR LF.
function writeSingleByte(file, text) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  const crlf = text.replace(/\r?\n/g, '\r\n');
  for (const ch of crlf) {
    if (ch.codePointAt(0) > 0xff) throw new Error(`${file}: "${ch}" does not fit one byte`);
  }
  fs.writeFileSync(file, Buffer.from(crlf, 'latin1'));
}

function copyFixtureText(rel, to, replace = {}) {
  let text = fs.readFileSync(path.join(fixtureDir, rel), 'utf8');
  for (const [k, v] of Object.entries(replace)) text = text.split(k).join(v);
  writeSingleByte(to, text);
}

// Builds the program folder: settings, country table, language files, the
// layout and the project Teeladen with its data folder.
export function buildHome(homeDir, { dataDir, layoutDir, orderService }) {
  fs.mkdirSync(homeDir, { recursive: true });
  const picDir = path.join(homeDir, 'bilder');
  fs.mkdirSync(picDir, { recursive: true });
  for (const [name, [w, h, rgb]] of Object.entries(pictures)) {
    fs.writeFileSync(path.join(picDir, name), makePng(w, h, rgb));
  }

  copyFixtureText('quillane.ini', path.join(homeDir, 'quillane.ini'), { '@ORDERSERVICE@': orderService });
  copyFixtureText('userprofil.ini', path.join(homeDir, 'userprofil.ini'));
  copyTree(path.join(dataDir, 'sprache'), path.join(homeDir, 'sprache'));
  copyTree(layoutDir, path.join(homeDir, 'layouts', 'Standard'));

  // The shipped table serves nobody; the home country and the countries of
  // the fixture are switched on.
  let table = fs.readFileSync(path.join(dataDir, 'countries.dat'), 'latin1');
  for (const name of servedCountries) table = setIniKey(table, name, 'Active', '1');
  fs.writeFileSync(path.join(homeDir, 'countries.dat'), Buffer.from(table, 'latin1'));

  const projects = path.join(homeDir, 'Projekte');
  const data = path.join(projects, projectName, 'daten');
  copyFixtureText(projectName + '.shp', path.join(projects, projectName + '.shp'));
  for (const rel of walk(path.join(fixtureDir, 'daten'))) {
    copyFixtureText(path.join('daten', rel), path.join(data, rel), { '@PICTURES@': picDir });
  }
  return { homeDir, shopDir: path.join(projects, projectName, 'shop') };
}

// Generates the project's shop with quillane-cli. The program keeps its
// working copy in the system's temporary folder; here it stays in tmp.
export function generateShop(cli, homeDir, tmp) {
  fs.mkdirSync(tmp, { recursive: true });
  const gen = spawnSync(cli, ['--home', homeDir, 'generate', projectName], {
    encoding: 'utf8',
    env: { ...process.env, TMPDIR: tmp },
  });
  if (gen.status !== 0) {
    throw new Error(`quillane-cli generate failed (${gen.status ?? gen.signal}):\n${gen.stderr}${gen.error ?? ''}`);
  }
}

function walk(dir, prefix = '') {
  const out = [];
  for (const entry of fs.readdirSync(dir, { withFileTypes: true })) {
    const rel = path.join(prefix, entry.name);
    if (entry.isDirectory()) out.push(...walk(path.join(dir, entry.name), rel));
    else out.push(rel);
  }
  return out;
}
