// The two servers the shop talks to in the tests, both on 127.0.0.1 at a
// port the system picks: a plain static file server for the generated shop,
// and a stand-in for the order service that unscrambles and keeps every
// order it receives.

import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

const types = {
  '.html': 'text/html',
  '.htm': 'text/html',
  '.js': 'text/javascript',
  '.css': 'text/css',
  '.gif': 'image/gif',
  '.jpg': 'image/jpeg',
  '.png': 'image/png',
};

function listen(server) {
  return new Promise((resolve, reject) => {
    server.once('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      resolve({ server, port, url: `http://127.0.0.1:${port}/`, close: () => close(server) });
    });
  });
}

function close(server) {
  return new Promise((resolve) => {
    server.closeAllConnections?.();
    server.close(() => resolve());
  });
}

// A request path as the bytes of a file name, the way a plain web space
// reads it: every percent escape is one byte (the shop's names are
// windows-1252 bytes); null for a path that leaves the root.
function pathBytes(pathname) {
  const bytes = [];
  for (let i = 0; i < pathname.length; i++) {
    const hex = pathname.substring(i + 1, i + 3);
    if (pathname[i] === '%' && /^[0-9A-Fa-f]{2}$/.test(hex)) {
      bytes.push(parseInt(hex, 16));
      i += 2;
    } else {
      bytes.push(...Buffer.from(pathname[i], 'utf8'));
    }
  }
  const rel = Buffer.from(bytes);
  const segments = rel.toString('latin1').split('/');
  if (rel.includes(0) || segments.some((s) => s === '..')) return null;
  return rel;
}

// Serves the files below root. No charset is sent: like a plain web space,
// the pages' own declaration decides how the single-byte files are read.
export function startStaticServer(root) {
  const base = Buffer.from(path.resolve(root));
  return listen(http.createServer((req, res) => {
    let rel = pathBytes(new URL(req.url, 'http://x').pathname);
    if (rel === null) {
      res.writeHead(400).end();
      return;
    }
    if (rel.toString('latin1').endsWith('/')) rel = Buffer.concat([rel, Buffer.from('index.html')]);
    const file = Buffer.concat([base, rel]);
    if (!fs.existsSync(file) || !fs.statSync(file).isFile()) {
      res.writeHead(404, { 'Content-Type': 'text/plain' }).end('not found');
      return;
    }
    const type = types[path.extname(rel.toString('latin1')).toLowerCase()] || 'application/octet-stream';
    res.writeHead(200, { 'Content-Type': type, 'Cache-Control': 'no-store' });
    fs.createReadStream(file).pipe(res);
  }));
}

// ------------------------------------------------------------ scrambling --

// Written apart from the shop's own script on purpose: the service must
// read what any correct shop sends.
const alphabet = '0123456789AaBbCcDdEeFfGgHhIiJjKkLlMmNnOoPpQqRrSsTtUuVvWwXxYyZz.,:;()/|';

// Percent-decoding to bytes, kept one character per byte.
function urlDecodeBytes(text) {
  return Buffer.from(
    String(text).replace(/\+/g, ' ').replace(/%([0-9A-Fa-f]{2})/g, (_, h) => String.fromCharCode(parseInt(h, 16))),
    'latin1',
  ).toString('latin1');
}

function urlEncodeBytes(bytes) {
  let out = '';
  for (const ch of bytes) {
    out += /[A-Za-z0-9]/.test(ch) ? ch : '%' + ch.charCodeAt(0).toString(16).toUpperCase().padStart(2, '0');
  }
  return out;
}

export function crypt(text) {
  let out = '';
  for (const ch of urlDecodeBytes(text)) {
    const p = alphabet.indexOf(ch);
    out += p < 0 ? ch : alphabet[(p + 35) % alphabet.length];
  }
  return urlEncodeBytes(out);
}

// The plain value of a received field: unscrambled, then URL-decoded; the
// bytes the shop encoded are UTF-8.
export function plainValue(received) {
  return Buffer.from(urlDecodeBytes(crypt(received)), 'latin1').toString('utf8');
}

// ---------------------------------------------------------- order service --

export const orderPath = '/qln/shopscripts/putorder.php4';

// POST orderPath takes an order; GET /orders.json gives back every order
// taken, each with its raw fields, the decoded fields and the request's
// content type. POST /fail?count=N makes the next N orders fail with 503,
// as a service that is down would. Every answer allows any origin, the
// shop runs elsewhere.
export function startOrderService() {
  const orders = [];
  let failures = 0;
  let refused = 0;
  const cors = {
    'Access-Control-Allow-Origin': '*',
    'Access-Control-Allow-Methods': 'POST, GET, OPTIONS',
    'Access-Control-Allow-Headers': '*',
  };
  return listen(http.createServer((req, res) => {
    const url = new URL(req.url, 'http://x');
    if (req.method === 'OPTIONS') {
      res.writeHead(204, cors).end();
      return;
    }
    if (req.method === 'GET' && url.pathname === '/orders.json') {
      res.writeHead(200, { ...cors, 'Content-Type': 'application/json' }).end(JSON.stringify({ orders, refused }));
      return;
    }
    if (req.method === 'POST' && url.pathname === '/fail') {
      failures = Number(url.searchParams.get('count') || 1);
      res.writeHead(204, cors).end();
      return;
    }
    if (req.method === 'POST' && url.pathname === orderPath && failures > 0) {
      failures--;
      refused++;
      req.resume();
      res.writeHead(503, { ...cors, 'Content-Type': 'text/plain' }).end('service unavailable');
      return;
    }
    if (req.method === 'POST' && url.pathname === orderPath) {
      const chunks = [];
      req.on('data', (c) => chunks.push(c));
      req.on('end', () => {
        const body = Buffer.concat(chunks).toString('utf8');
        const raw = {};
        const fields = {};
        for (const [k, v] of new URLSearchParams(body)) {
          raw[k] = v;
          fields[k] = plainValue(v);
        }
        const id = String(1000 + orders.length);
        orders.push({ id, contentType: req.headers['content-type'] || '', query: url.search, raw, fields });
        res.writeHead(200, { ...cors, 'Content-Type': 'application/json' }).end(JSON.stringify({ order: id }));
      });
      return;
    }
    res.writeHead(404, { ...cors, 'Content-Type': 'text/plain' }).end('not found');
  })).then((s) => ({ ...s, orders }));
}
