#!/usr/bin/env node
// Runs the browser tests of the generated shop from start to end: builds the
// test home, generates the shop with quillane-cli, starts the shop's web
// server and the order service, runs the test files with Node's test runner
// and stops both servers again.
//
//   node run.mjs --cli PATH [--orderd PATH] [--data DIR] [--layout DIR] [--work DIR] [test files...]
//
// --orderd is the built order service, for the test that sends orders all
// the way to it (default: quillane-orderd of the build tree of --cli).
// --data is the folder of shipped data (countries.dat, sprache/), --layout
// the layout to generate with (default DATA/layouts/Standard), --work the
// folder for the home, the generated shop and the screenshots (default a
// new folder under the system's temporary folder; emptied first).

import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { buildHome, generateShop } from './fixture.mjs';
import { startOrderService, startStaticServer } from './servers.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));

function parseArgs(argv) {
  const opts = { data: path.resolve(here, '../../data'), files: [] };
  for (let i = 0; i < argv.length; i++) {
    const a = argv[i];
    const value = () => {
      if (i + 1 >= argv.length) throw new Error(`${a} needs a value`);
      return argv[++i];
    };
    if (a === '--cli') opts.cli = value();
    else if (a === '--orderd') opts.orderd = value();
    else if (a === '--data') opts.data = value();
    else if (a === '--layout') opts.layout = value();
    else if (a === '--work') opts.work = value();
    else opts.files.push(path.resolve(a));
  }
  if (!opts.cli) throw new Error('--cli PATH of quillane-cli is needed');
  opts.layout ??= path.join(opts.data, 'layouts', 'Standard');
  opts.orderd ??= path.join(path.dirname(opts.cli), '..', 'orderd', 'quillane-orderd');
  return opts;
}

async function main() {
  const opts = parseArgs(process.argv.slice(2));
  for (const [what, p] of [['quillane-cli', opts.cli], ['layout', opts.layout], ['data', opts.data]]) {
    if (!fs.existsSync(p)) throw new Error(`the ${what} ${p} does not exist`);
  }
  if (!fs.existsSync(path.join(here, 'node_modules', 'playwright-core'))) {
    throw new Error(`playwright-core is missing: run "npm ci" in ${here} (scripts/setup.sh does)`);
  }
  const work = opts.work ? path.resolve(opts.work) : fs.mkdtempSync(path.join(os.tmpdir(), 'quillane-browser-'));
  fs.rmSync(work, { recursive: true, force: true });
  fs.mkdirSync(work, { recursive: true });
  const shots = path.join(work, 'screenshots');
  fs.mkdirSync(shots, { recursive: true });

  const orders = await startOrderService();
  let shop = null;
  try {
    const { homeDir, shopDir } = buildHome(path.join(work, 'home'), {
      dataDir: opts.data,
      layoutDir: opts.layout,
      orderService: orders.url,
    });
    generateShop(opts.cli, homeDir, path.join(work, 'tmp'));
    shop = await startStaticServer(shopDir);

    const files = opts.files.length
      ? opts.files
      : fs.readdirSync(here).filter((f) => f.endsWith('.test.mjs')).sort().map((f) => path.join(here, f));
    console.log(`shop ${shop.url}index.html, orders ${orders.url}, screenshots ${shots}`);
    // One file after another: the files share the shop and the order service.
    // (Spawning each keeps this independent of the test runner's own options.)
    let code = 0;
    for (const file of files) {
      const fileCode = await new Promise((resolve) => {
        const child = spawn(process.execPath, ['--test', file], {
          stdio: 'inherit',
          env: {
            ...process.env,
            QUILLANE_SHOP_URL: shop.url,
            QUILLANE_ORDERS_URL: orders.url,
            QUILLANE_TEST_HOME: homeDir,
            QUILLANE_SCREENSHOTS: shots,
            // For tests that build a shop of their own.
            QUILLANE_CLI: path.resolve(opts.cli),
            QUILLANE_ORDERD: path.resolve(opts.orderd),
            QUILLANE_DATA: path.resolve(opts.data),
            QUILLANE_LAYOUT: path.resolve(opts.layout),
            QUILLANE_WORK: work,
          },
        });
        child.on('exit', (c, signal) => resolve(c ?? (signal ? 1 : 0)));
      });
      code = code || fileCode;
    }
    return code;
  } finally {
    await orders.close();
    if (shop) await shop.close();
  }
}

main().then(
  (code) => process.exit(code),
  (e) => {
    console.error(`browser tests: ${e.message}`);
    process.exit(1);
  },
);
