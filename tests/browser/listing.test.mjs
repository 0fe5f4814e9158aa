// The auction description of catalog items as the auction site's page shows
// it: every picture is fetched from the generated shop, and every text reads
// on what it stands on, whatever colours the site's own page has.

import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import path from 'node:path';
import { after, before, describe, test } from 'node:test';
import { projectName } from './fixture.mjs';
import { catalog, launchBrowser, screenshot, shopUrl, testHome } from './shop.mjs';

let browser;

before(async () => {
  browser = await launchBrowser();
});

after(async () => {
  await browser?.close();
});

const listings = new Map();

// The description of an item, made once for both sites.
function listing(key) {
  if (listings.has(key)) return listings.get(key);
  const run = spawnSync(
    process.env.QUILLANE_CLI,
    ['--home', testHome, 'listing', projectName, key, '--shop-url', shopUrl],
    { encoding: 'utf8', env: { ...process.env, TMPDIR: path.join(process.env.QUILLANE_WORK, 'tmp') } },
  );
  assert.equal(run.status, 0, `quillane-cli listing ${key}: ${run.stderr}`);
  listings.set(key, run.stdout);
  return run.stdout;
}

// Every element with text of its own: its colour, the first background
// behind it that is not transparent, and the contrast of the two.
function readability() {
  const rgb = (css) => (css.match(/[\d.]+/g) || []).map(Number);
  const luminance = ([r, g, b]) => {
    const l = [r, g, b].map((v) => {
      v /= 255;
      return v <= 0.04045 ? v / 12.92 : Math.pow((v + 0.055) / 1.055, 2.4);
    });
    return 0.2126 * l[0] + 0.7152 * l[1] + 0.0722 * l[2];
  };
  const out = [];
  for (const el of document.querySelectorAll('#listing *')) {
    const own = [...el.childNodes].some((n) => n.nodeType === Node.TEXT_NODE && n.textContent.trim() !== '');
    if (!own) continue;
    let back = el;
    while (back && rgb(getComputedStyle(back).backgroundColor)[3] === 0) back = back.parentElement;
    const fg = rgb(getComputedStyle(el).color);
    const bg = rgb(getComputedStyle(back).backgroundColor);
    const [x, y] = [luminance(fg), luminance(bg)];
    out.push({
      text: el.textContent.trim().slice(0, 40),
      ratio: (Math.max(x, y) + 0.05) / (Math.min(x, y) + 0.05),
      fg: getComputedStyle(el).color,
      bg: getComputedStyle(back).backgroundColor,
    });
  }
  return out;
}

describe('auction listing', () => {
  const items = catalog.groups.flatMap((g) => g.items).filter((i) => catalog.pictureCount(i.key) > 0);

  test('the fixture has items with pictures, one of them with a "/" in its order number', () => {
    assert.ok(items.length >= 2);
    assert.ok(items.some((i) => i.key.includes('/')));
  });

  // A dark site and a light one: the description brings its own colours.
  for (const [site, style] of [
    ['dark', 'background: #111111; color: #151515; font-family: serif;'],
    ['light', 'background: #ffffff; color: #ffffff;'],
  ]) {
    test(`every picture comes from the shop and every text reads on a ${site} site`, async () => {
      const page = await browser.newPage();
      try {
        for (const item of items) {
          const html = listing(item.key);
          await page.setContent(`<html><body style="${style}"><div id="listing">${html}</div></body></html>`);
          await page.waitForFunction(() => [...document.images].every((img) => img.complete), null, {
            timeout: 10000,
          });
          const pictures = await page.evaluate(() =>
            [...document.images].map((img) => ({ src: img.src, width: img.naturalWidth })),
          );
          assert.equal(pictures.length, catalog.pictureCount(item.key), item.key);
          for (const p of pictures) {
            assert.ok(p.src.startsWith(shopUrl + 'pictures/large/'), p.src);
            assert.ok(p.width > 0, `${item.key}: ${p.src} did not load`);
          }
          const texts = await page.evaluate(readability);
          assert.ok(texts.some((t) => t.text.startsWith(item.name)), `${item.key}: the title is missing`);
          // The contact block speaks the language of the rest of the listing.
          assert.match(html, /Telefon: /, `${item.key}: the contact block in German`);
          assert.doesNotMatch(html, /Phone: |\[CONTACT\]/, `${item.key}: English or a placeholder in the listing`);
          for (const t of texts) {
            assert.ok(t.ratio >= 4.5, `${item.key} on a ${site} site: "${t.text}" ${t.fg} on ${t.bg}: ${t.ratio}`);
          }
          if (item === items[0]) await screenshot(page, `listing-${site}`);
        }
      } finally {
        await page.close();
      }
    });
  }
});
