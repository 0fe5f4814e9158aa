#!/usr/bin/env node
// How fast the generated shop starts on a slow mobile connection: Chromium
// with the connection emulated (150 ms latency, 1.6 Mbit/s both ways) opens
// the shop and is timed until the categories page, where the loader ends.
// The time is set against what the same bytes need on that connection sent
// at once (one latency plus bytes / bandwidth), for the browser tests' sample
// shop and for a shop of 5,000 items in 200 groups made from it. Beside it
// stands the time of the round trips the start took one after another plus
// the bytes: the shop page, its scripts, the loader frame, the database and
// the categories page with its files each need the one before.
//
// The shop is served as a host following the shop's .htaccess serves it:
// compressed text; over HTTPS with HTTP/2, as hosts do today, and over
// plain HTTP/1.1 beside it, where the browser opens six connections at most.
//
//   node bench/shop_start.mjs --cli build/src/cli/quillane-cli [--runs N] [--keep DIR]

import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import http2 from 'node:http2';
import os from 'node:os';
import path from 'node:path';
import zlib from 'node:zlib';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const browserTests = path.join(here, '..', 'tests', 'browser');
const { chromium } = await import(path.join(browserTests, 'node_modules', 'playwright-core', 'index.mjs'));
const { buildHome, generateShop, projectName } = await import(path.join(browserTests, 'fixture.mjs'));

const latencyMs = 150;
const bitsPerSecond = 1.6e6;

function parseArgs(argv) {
  const opts = { runs: 3, data: path.join(here, '..', 'data') };
  for (let i = 0; i < argv.length; i++) {
    const value = () => argv[++i];
    if (argv[i] === '--cli') opts.cli = value();
    else if (argv[i] === '--runs') opts.runs = Number(value());
    else if (argv[i] === '--keep') opts.keep = value();
    else throw new Error(`unknown argument ${argv[i]}`);
  }
  if (!opts.cli) throw new Error('usage: shop_start.mjs --cli PATH [--runs N] [--keep DIR]');
  return opts;
}

// ------------------------------------------------------------- the shops --

// The sample project with its catalog replaced by groups x items of made-up
// teas without pictures, named in the menu as ten main groups with sub groups.
function enlarge(homeDir, groups, perGroup) {
  const project = path.join(homeDir, 'Projekte');
  let shp = '', names = '[deutsch]\r\n', english = '[english]\r\n';
  for (let g = 0; g < groups; g++) {
    shp += `[${g}]\r\nVersand=0.000\r\n`;
    for (let i = 0; i < perGroup; i++) {
      const n = g * perGroup + i;
      shp += `K${n}=Tee Nummer ${n} - eine Mischung aus Blatt, Bl\xfcte und Frucht|${(2 + (n % 97) / 10).toFixed(2)}|${i % 2}|||\r\n`;
    }
    names += `${g}=Sorten ${Math.floor(g / 20)}|Gruppe ${g}\r\n`;
    english += `${g}=Kinds ${Math.floor(g / 20)}|Group ${g}\r\n`;
  }
  fs.writeFileSync(path.join(project, projectName + '.shp'), Buffer.from(shp, 'latin1'));
  fs.writeFileSync(path.join(project, projectName, 'daten', 'groups.ini'), Buffer.from(names + english, 'latin1'));
  fs.writeFileSync(path.join(project, projectName, 'daten', 'pictures.ini'), '');
}

function makeShop(opts, work, name, groups, perGroup) {
  const { homeDir, shopDir } = buildHome(path.join(work, name), {
    dataDir: opts.data,
    layoutDir: path.join(opts.data, 'layouts', 'Standard'),
    orderService: 'http://127.0.0.1:9/',
  });
  if (groups) enlarge(homeDir, groups, perGroup);
  generateShop(opts.cli, homeDir, path.join(work, 'tmp'));
  return shopDir;
}

// ------------------------------------------------------------ the server --

const types = {
  '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.gif': 'image/gif', '.jpg': 'image/jpeg',
  '.png': 'image/png',
};

// Every file of the shop in memory, text compressed as mod_deflate would.
function readShop(root) {
  const files = new Map();
  const walk = (dir, rel) => {
    for (const e of fs.readdirSync(dir, { withFileTypes: true })) {
      const full = path.join(dir, e.name), r = rel + '/' + e.name;
      if (e.isDirectory()) walk(full, r);
      else {
        const type = types[path.extname(e.name).toLowerCase()] || 'application/octet-stream';
        const body = fs.readFileSync(full);
        const text = type.startsWith('text/');
        files.set(r, { type: text ? type + '; charset=windows-1252' : type, body: text ? zlib.gzipSync(body) : body, gzip: text });
      }
    }
  };
  walk(root, '');
  return files;
}

function handler(files) {
  return (req, res) => {
    const p = decodeURIComponent(new URL(req.url, 'https://x').pathname);
    const f = files.get(p);
    if (!f) {
      res.writeHead(404, { 'content-type': 'text/plain' });
      res.end('not found');
      return;
    }
    const headers = { 'content-type': f.type, 'cache-control': 'no-cache' };
    if (f.gzip) headers['content-encoding'] = 'gzip';
    res.writeHead(200, headers);
    res.end(f.body);
  };
}

function selfSignedCertificate(dir) {
  const key = path.join(dir, 'key.pem'), cert = path.join(dir, 'cert.pem');
  const r = spawnSync('openssl', ['req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-keyout', key, '-out', cert,
    '-days', '2', '-subj', '/CN=127.0.0.1'], { encoding: 'utf8' });
  if (r.status !== 0) throw new Error(`openssl cannot make a certificate: ${r.stderr}`);
  return { key: fs.readFileSync(key), cert: fs.readFileSync(cert) };
}

function listen(server, scheme) {
  return new Promise((resolve) => {
    server.listen(0, '127.0.0.1', () => resolve({ url: `${scheme}://127.0.0.1:${server.address().port}/`, server }));
  });
}

// --------------------------------------------------------------- the run --

// One cold start: a fresh browser context, the connection emulated; the
// time from asking for index.html to the categories page having loaded, and
// the bytes that came over the wire meanwhile.
async function startOnce(browser, url) {
  const context = await browser.newContext({ ignoreHTTPSErrors: true, viewport: { width: 375, height: 740 } });
  const page = await context.newPage();
  page.on('dialog', (d) => d.accept().catch(() => {}));
  const cdp = await context.newCDPSession(page);
  await cdp.send('Network.enable');
  await cdp.send('Network.setCacheDisabled', { cacheDisabled: true });
  await cdp.send('Network.emulateNetworkConditions', {
    offline: false, latency: latencyMs, downloadThroughput: bitsPerSecond / 8, uploadThroughput: bitsPerSecond / 8,
  });
  let bytes = 0, requests = 0, protocol = '';
  const starts = [];
  // The browser's own question for a site icon is no step of the start.
  cdp.on('Network.requestWillBeSent', (e) => { if (!/\/favicon\.ico$/.test(e.request.url)) starts.push(e.timestamp); });
  cdp.on('Network.responseReceived', (e) => { protocol = e.response.protocol || protocol; });
  cdp.on('Network.loadingFinished', (e) => { bytes += e.encodedDataLength; requests++; });
  const start = Date.now();
  await page.goto(url + 'index.html', { waitUntil: 'commit' });
  await page.waitForFunction(() => {
    const f = window.frames.main;
    return !!f && /\/categories\.html/.test(f.location.href) && f.document.readyState === 'complete';
  }, null, { timeout: 300000, polling: 20 });
  const seconds = (Date.now() - start) / 1000;
  await context.close();
  return { seconds, bytes, requests, protocol, trips: roundTrips(starts) };
}

// How many round trips the start took one after another: requests asked for
// within most of a latency of the first of their wave went out together.
function roundTrips(starts) {
  let trips = 0, waveStart = -Infinity;
  for (const t of [...starts].sort((a, b) => a - b)) {
    if ((t - waveStart) * 1000 >= 0.8 * latencyMs) {
      trips++;
      waveStart = t;
    }
  }
  return trips;
}

async function measure(browser, name, url, runs) {
  const all = [];
  for (let i = 0; i < runs; i++) all.push(await startOnce(browser, url));
  all.sort((a, b) => a.seconds - b.seconds);
  const r = all[Math.floor(all.length / 2)];
  const transfer = (r.bytes * 8) / bitsPerSecond;
  const atOnce = latencyMs / 1000 + transfer;
  // What no shop of pages that each need the one before can beat: its round
  // trips one after another, and its bytes.
  const chain = (r.trips * latencyMs) / 1000 + transfer;
  console.log(`${name.padEnd(22)} ${r.protocol.padEnd(8)} ${String(r.requests).padStart(4)} requests ` +
    `${(r.bytes / 1024).toFixed(0).padStart(5)} KiB  start ${r.seconds.toFixed(2).padStart(6)} s  ` +
    `at once ${atOnce.toFixed(2).padStart(5)} s  ratio ${(r.seconds / atOnce).toFixed(2)}  ` +
    `| ${r.trips} round trips + bytes ${chain.toFixed(2)} s  ratio ${(r.seconds / chain).toFixed(2)}`);
}

async function main() {
  const opts = parseArgs(process.argv.slice(2));
  const work = opts.keep ? path.resolve(opts.keep) : fs.mkdtempSync(path.join(os.tmpdir(), 'quillane-start-'));
  fs.rmSync(work, { recursive: true, force: true });
  fs.mkdirSync(work, { recursive: true });
  const tls = selfSignedCertificate(work);
  const shops = [['sample shop', makeShop(opts, work, 'sample')], ['5,000 items', makeShop(opts, work, 'large', 200, 25)]];
  const browser = await chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking', '--ignore-certificate-errors'],
  });
  console.log(`cold start to the categories page, ${latencyMs} ms latency, ${bitsPerSecond / 1e6} Mbit/s, median of ${opts.runs}`);
  try {
    for (const [name, dir] of shops) {
      const files = readShop(dir);
      const h2 = await listen(http2.createSecureServer({ ...tls, allowHTTP1: true }, handler(files)), 'https');
      const h1 = await listen(http.createServer(handler(files)), 'http');
      try {
        await measure(browser, name, h2.url, opts.runs);
        await measure(browser, name, h1.url, opts.runs);
      } finally {
        h2.server.close();
        h1.server.closeAllConnections();
        h1.server.close();
      }
    }
  } finally {
    await browser.close();
    if (!opts.keep) fs.rmSync(work, { recursive: true, force: true });
  }
}

main().catch((e) => {
  console.error(`shop_start: ${e.message}`);
  process.exit(1);
});
