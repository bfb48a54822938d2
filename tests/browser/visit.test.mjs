// A visit to the demo site in headless chromium, at a desktop and a phone
// width: the admin logs in, searches, sorts, pages, clears filters, hides a
// column, follows a relation, adds, updates, deletes and exports orders and
// logs out; the viewer finds nothing to change and the clerk does not see
// the hidden fields. Each step leaves a screenshot, and every page it shows
// passes axe-core's checks without a serious or critical finding, in the
// light and the dark scheme. Started by ./run, which serves the demo and
// passes its address and passwords in the environment.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const site = process.env.TABRIX_URL;
const shots = process.env.TABRIX_SHOTS;
const passwords = {
  admin: process.env.TABRIX_ADMIN_PASSWORD,
  viewer: process.env.TABRIX_VIEWER_PASSWORD,
  clerk: process.env.TABRIX_CLERK_PASSWORD,
};
assert.ok(site && shots && passwords.admin, 'start the visit through tests/browser/run');

const kStepTimeout = 60_000;
const viewports = [
  { name: 'desktop', width: 1280, height: 800, city: 'Deskville' },
  { name: 'phone', width: 390, height: 844, city: 'Phoneville' },
];
const months = ['January', 'February', 'March', 'April', 'May', 'June', 'July', 'August',
  'September', 'October', 'November', 'December'];

// "31 December 2024" (the site's date text) as a comparable number.
function DayOf(text) {
  const match = /(\d{1,2}) (\w+) (\d{4})/.exec(text);
  assert.ok(match, `not a date: "${text}"`);
  const month = months.indexOf(match[2]);
  assert.ok(month >= 0, `not a month: "${match[2]}"`);
  return Date.UTC(Number(match[3]), month, Number(match[1]));
}

// axe-core's script, put into each page it checks.
const axeScript = fs.readFileSync(
  fileURLToPath(new URL('node_modules/axe-core/axe.min.js', import.meta.url)), 'utf8');

// Runs axe-core's default rules on the whole page; fails on any finding of
// serious or critical impact, naming the rule, the element and what is wrong.
const checks = { pages: 0, ms: 0 };
async function CheckAccess(page, where) {
  const start = Date.now();
  if (!await page.evaluate(() => typeof window.axe === 'object'))
    await page.addScriptTag({ content: axeScript });
  // Only the failures are reported in full: the passes cost time to describe.
  const violations = await page.evaluate(async () => (await window.axe.run(document,
    { resultTypes: ['violations'] })).violations
    .filter((v) => v.impact === 'serious' || v.impact === 'critical')
    .map((v) => ({ id: v.id, impact: v.impact, help: v.help,
      nodes: v.nodes.map((n) => ({ target: n.target.join(' '), summary: n.failureSummary })) })));
  checks.pages += 1;
  checks.ms += Date.now() - start;
  const lines = [];
  for (const v of violations) {
    lines.push(`${v.id} (${v.impact}): ${v.help}`);
    for (const n of v.nodes.slice(0, 5))
      lines.push(`  ${n.target}: ${n.summary.replace(/\s+/g, ' ')}`);
    if (v.nodes.length > 5) lines.push(`  ... and ${v.nodes.length - 5} more`);
  }
  assert.equal(lines.length, 0, `accessibility findings on ${where} (${page.url()}):\n${lines.join('\n')}`);
}

function Sorted(values, ascending) {
  return values.every((v, i) => i === 0 || (ascending ? values[i - 1] <= v : values[i - 1] >= v));
}

// The rows of a CSV text (RFC 4180: quoted cells, doubled quotes, CRLF).
function CsvRows(text) {
  const rows = [];
  let row = [];
  let cell = '';
  let quoted = false;
  for (let i = 0; i < text.length; ++i) {
    const c = text[i];
    if (quoted) {
      if (c === '"' && text[i + 1] === '"') { cell += '"'; ++i; } else if (c === '"') quoted = false;
      else cell += c;
    } else if (c === '"') quoted = true;
    else if (c === ',') { row.push(cell); cell = ''; } else if (c === '\r' && text[i + 1] === '\n') {
      row.push(cell); rows.push(row); row = []; cell = ''; ++i;
    } else cell += c;
  }
  if (cell !== '' || row.length > 0) { row.push(cell); rows.push(row); }
  return rows;
}

let browser;
before(async () => {
  browser = await chromium.launch({
    executablePath: '/usr/lib/chromium/chromium',
    headless: true,
    timeout: 30_000,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
});
after(async () => {
  await browser?.close();
  console.log(`accessibility checks: ${checks.pages} pages in ${(checks.ms / 1000).toFixed(1)} s`);
});

// One visitor: a fresh context (cookies, downloads) and numbered screenshots.
class Visit {
  constructor(viewport, scheme = 'light') {
    this.viewport = viewport;
    this.scheme = scheme;
    this.folder = path.join(shots, scheme === 'light' ? viewport.name : `${viewport.name}-${scheme}`);
    fs.mkdirSync(this.folder, { recursive: true });
  }

  async open() {
    this.context = await browser.newContext({
      viewport: { width: this.viewport.width, height: this.viewport.height },
      colorScheme: this.scheme,
      acceptDownloads: true,
    });
    this.page = await this.context.newPage();
    this.page.setDefaultTimeout(15_000);
    this.page.setDefaultNavigationTimeout(20_000);
  }

  async close() {
    await this.context?.close();
  }

  // A screenshot of the page, which then passes the accessibility check
  // (but for the picture of a failure).
  async shot(name, { check = true } = {}) {
    const files = fs.readdirSync(this.folder).filter((f) => f.endsWith('.png'));
    const number = String(files.length + 1).padStart(2, '0');
    await this.page.screenshot({ path: path.join(this.folder, `${number}-${name}.png`), fullPage: true });
    if (check) await CheckAccess(this.page, `${this.viewport.name} ${this.scheme}: ${name}`);
  }

  async login(user) {
    const page = this.page;
    await page.goto(site);
    assert.match(page.url(), /Login\.asp/);
    await this.shot(`${user}-login-page`);
    await page.fill('#username', user);
    await page.fill('#password', passwords[user]);
    await page.click('button[type=submit]');
    await page.waitForSelector('.msg');
  }

  async openTable(caption) {
    await this.page.locator('nav.site-menu').getByRole('link', { name: caption, exact: true }).click();
    await this.page.waitForSelector('caption');
  }

  // The grid: its column captions and, per row, the text of each cell.
  async grid() {
    const table = this.page.locator('table:has(> tbody th[scope=row])');
    if (await table.count() === 0) return { columns: [], rows: [] };
    const columns = (await table.locator('thead th[scope=col]').allInnerTexts()).map((t) => t.trim());
    const rows = [];
    for (const row of await table.locator('tbody > tr').all())
      rows.push((await row.locator(':scope > th, :scope > td').allInnerTexts()).map((t) => t.trim()));
    return { columns, rows };
  }

  async column(caption) {
    const { columns, rows } = await this.grid();
    const at = columns.indexOf(caption);
    assert.ok(at >= 0, `no column "${caption}" in ${JSON.stringify(columns)}`);
    return rows.map((cells) => cells[at]);
  }

  // The head cell of the grid's column `caption`.
  head(caption) {
    return this.page.locator(`thead th[scope=col]:has-text("${caption}")`);
  }

  // The captions of the active filters shown above the grid.
  async filters() {
    return (await this.page.locator('.tabrix-chip > span').allInnerTexts())
      .map((t) => t.split(':')[0].trim());
  }

  async total() {
    const text = await this.page.locator('td:has-text("Total :") b').first().innerText();
    return Number(text);
  }

  // The list page's address for the table whose list is shown, with `query`.
  listUrl(query) {
    const code = new URL(this.page.url()).searchParams.get('t');
    return new URL(`Search.asp?t=${encodeURIComponent(code)}&go=1&${query}`, site).href;
  }

  async pickAllAndRun(action) {
    const page = this.page;
    await page.check('#checkall');
    await page.selectOption('select[name=a]', { label: action });
    await page.getByRole('link', { name: 'Go', exact: true }).click();
    await page.waitForSelector('text=Are you sure to want');
  }
}

// The steps of one visitor run in order; after a failed step the rest are
// skipped instead of failing for the same cause.
function Steps(visit) {
  let failed = false;
  return (name, body) => test(name, { timeout: kStepTimeout }, async (t) => {
    if (failed) return t.skip('an earlier step failed');
    try {
      await body(visit.page);
      await visit.shot(name.replace(/[^a-z0-9]+/gi, '-').toLowerCase());
    } catch (error) {
      failed = true;
      await visit.shot('failed', { check: false }).catch(() => {});
      throw error;
    }
  });
}

for (const viewport of viewports) {
  describe(`admin at ${viewport.name} width`, () => {
    const visit = new Visit(viewport);
    const step = Steps(visit);
    before(() => visit.open());
    after(() => visit.close());
    let listUrl;

    step('login', async (page) => {
      await visit.login('admin');
      assert.match(await page.locator('.msg').innerText(), /Welcome, Administrator!/);
    });

    step('open orders', async (page) => {
      await visit.openTable('Orders');
      assert.match(await page.locator('caption').textContent(), /Orders/);
      assert.equal(await visit.total(), 300);
      assert.ok((await visit.grid()).rows.length > 0);
      if (viewport.name === 'desktop') {
        // Every column and the row boxes in sight, without scrolling sideways.
        const box = page.locator('table:has(> tbody th[scope=row])');
        const { inner, outer } = await box.evaluate((t) => ({ inner: t.scrollWidth, outer: t.clientWidth }));
        assert.ok(inner <= outer, `the grid scrolls sideways: ${inner} > ${outer}`);
        assert.ok(await page.locator('#check1').isVisible());
      }
    });

    step('search', async (page) => {
      await page.click('a[onclick*="OpenClose(\'divarama\')"] >> nth=0');
      await page.waitForSelector('#divarama', { state: 'visible' });
      await page.fill('input[name=ship_city]', 'n');
      await page.check('input[name=order_date]');
      for (const [part, value] of [['1_d', '1'], ['1_m', '1'], ['1_y', '2024'],
        ['2_d', '31'], ['2_m', '12'], ['2_y', '2024']])
        await page.selectOption(`select[name=order_date${part}]`, value);
      await visit.shot('search-panel');
      await Promise.all([
        page.waitForURL(/[?&]ship_city=n(&|$)/),
        page.locator('#divarama').getByRole('button', { name: 'Search', exact: true }).click(),
      ]);
      const total = await visit.total();
      assert.ok(total > 0 && total < 300, `total ${total}`);
      const cities = await visit.column('Ship to');
      assert.ok(cities.length > 0);
      for (const city of cities) assert.match(city, /n/i);
      for (const day of await visit.column('Order date')) {
        assert.ok(DayOf(day) >= Date.UTC(2024, 0, 1) && DayOf(day) <= Date.UTC(2024, 11, 31), day);
      }
    });

    let firstDescending;
    step('sort descending', async (page) => {
      await page.click('thead th:has-text("Order date") a');
      await page.waitForLoadState();
      const days = (await visit.column('Order date')).map(DayOf);
      assert.ok(Sorted(days, false), 'dates descend');
      firstDescending = days[0];
    });

    step('sort ascending', async (page) => {
      await page.click('thead th:has-text("Order date") a');
      await page.waitForLoadState();
      const days = (await visit.column('Order date')).map(DayOf);
      assert.ok(Sorted(days, true), 'dates ascend');
      assert.notEqual(days[0], firstDescending, 'the order changed');
      for (const city of await visit.column('Ship to')) assert.match(city, /n/i);  // kept
    });

    let lastOfFirstPage;
    step('page size', async (page) => {
      await Promise.all([page.waitForNavigation(), page.selectOption('select[name=c]', '10')]);
      const days = (await visit.column('Order date')).map(DayOf);
      assert.equal(days.length, 10);
      assert.ok(Sorted(days, true));
      lastOfFirstPage = days.at(-1);
    });

    step('next page', async (page) => {
      // Paging links are addresses: a bookmark or a new tab opens the same page.
      const next = page.getByRole('link', { name: 'Next page', exact: true });
      assert.match(await next.getAttribute('href'), /^Search\.asp\?.*\bp=2\b/);
      await next.click();
      await page.waitForLoadState();
      assert.equal(await page.locator('font[size="3"] b').innerText(), '2');
      const days = (await visit.column('Order date')).map(DayOf);
      assert.ok(days.length > 0 && days.length <= 10);
      assert.ok(days[0] >= lastOfFirstPage, 'page 2 goes on where page 1 ended');
    });

    step('active filters', async (page) => {
      assert.deepEqual(await visit.filters(), ['Order date', 'Ship to']);
      const before = await visit.total();
      await page.click('.tabrix-chip[data-field=ship_city] .tabrix-chip-remove');
      await page.waitForLoadState();
      assert.deepEqual(await visit.filters(), ['Order date']);
      assert.ok(await visit.total() > before, 'more orders without the city');
      assert.doesNotMatch(page.url(), /ship_city/);
      await page.click('a.tabrix-clear-filters');
      await page.waitForLoadState();
      assert.deepEqual(await visit.filters(), []);
      assert.equal(await visit.total(), 300);
    });

    step('sort by a column name', async (page) => {
      const name = visit.head('No.').locator('a');
      assert.match(await name.getAttribute('href'), /^Search\.asp\?.*\bo=id\b/);
      await name.click({ position: { x: 4, y: 6 } });  // on the caption, not the arrow
      await page.waitForLoadState();
      assert.equal(await visit.head('No.').getAttribute('aria-sort'), 'ascending');
      assert.equal(await visit.head('Order date').getAttribute('aria-sort'), null);
      const ids = (await visit.column('No.')).map(Number);
      assert.ok(ids.length > 0 && Sorted(ids, true), `ids ascend: ${ids}`);
      assert.equal(ids[0], 1, 'the first page');
    });

    step('hidden columns', async (page) => {
      await page.click('.tabrix-columns > summary');
      const choices = await page.locator('.tabrix-columns label').allInnerTexts();
      assert.ok(!choices.map((c) => c.trim()).includes('No.'), 'the record link column stays');
      await page.locator('.tabrix-columns label', { hasText: 'Salesperson' }).locator('input').uncheck();
      assert.ok(!(await visit.head('Salesperson').isVisible()));
      await visit.shot('column-hidden');
      await page.reload();
      assert.ok(!(await visit.head('Salesperson').isVisible()), 'still hidden after a reload');
      assert.ok(await visit.head('Customer').isVisible());
      assert.ok(await page.locator('#check1').isVisible(), 'the row boxes stay');
      await page.click('.tabrix-columns > summary');
      await page.locator('.tabrix-columns label', { hasText: 'Salesperson' }).locator('input').check();
      assert.ok(await visit.head('Salesperson').isVisible());
      await page.click('.tabrix-columns > summary');
    });

    step('record and relation', async (page) => {
      const customer = (await visit.column('Customer'))[0];
      await page.click('table:has(> tbody th[scope=row]) tbody > tr >> nth=0 >> th a');
      await page.waitForURL(/Info\.asp/);
      assert.match(await page.locator('caption').textContent(), /Orders/);
      await page.locator('tr:has(th:text-is("Customer"))')
        .getByRole('link', { name: /^Open the related record/ }).click();
      await page.waitForURL(/Info\.asp/);
      assert.match(await page.locator('caption').textContent(), /Customers/);
      const name = await page.locator('tr:has(th:text-is("Name")) td').innerText();
      assert.equal(name.trim(), customer);
    });

    step('add', async (page) => {
      await visit.openTable('Orders');
      await page.getByRole('link', { name: 'Add new', exact: true }).click();
      await page.waitForURL(/Add\.asp/);
      await page.selectOption('select[name=customer_id]', { index: 1 });
      await page.selectOption('select[name=employee_id]', { index: 1 });
      await page.selectOption('select[name=order_date_d]', '15');
      await page.selectOption('select[name=order_date_m]', '3');
      await page.selectOption('select[name=order_date_y]', '2024');
      await page.selectOption('select[name=status]', { label: 'New' });
      await page.fill('input[name=ship_city]', viewport.city);
      await page.fill('input[name=freight]', '12.50');
      await visit.shot('add-form');
      await page.getByRole('button', { name: 'Add', exact: true }).click();
      await page.waitForURL(/Info\.asp/);
      assert.match(await page.locator('.msg').innerText(), /Record added successfully!/);
      assert.equal((await page.locator('tr:has(th:text-is("Ship to")) td').innerText()).trim(), viewport.city);
      assert.equal((await page.locator('tr:has(th:text-is("Order date")) td').innerText()).trim(), '15 March 2024');
      assert.equal((await page.locator('tr:has(th:text-is("Status")) td').innerText()).trim(), 'New');
    });

    step('update', async (page) => {
      await page.click('a:text-is("Update")');
      await page.waitForURL(/Update\.asp/);
      // Changed values are saved without ticking their boxes; the rest stay.
      await page.selectOption('select[name=status]', { label: 'Packed' });
      await page.fill('input[name=freight]', '13.75');
      assert.ok(await page.isChecked('input[name=Checked_status]'));
      assert.ok(await page.isChecked('input[name=Checked_freight]'));
      assert.ok(!(await page.isChecked('input[name=Checked_ship_city]')));
      assert.equal(await page.locator('tr.tabrix-ticked').count(), 2);
      await visit.shot('update-form');
      await page.getByRole('button', { name: 'Update', exact: true }).click();
      await page.waitForURL(/Info\.asp/);
      assert.match(await page.locator('.msg').innerText(), /Record updated successfully!/);
      assert.equal((await page.locator('tr:has(th:text-is("Status")) td').innerText()).trim(), 'Packed');
      assert.match(await page.locator('tr:has(th:text-is("Freight")) td').innerText(), /13\.75/);
      assert.equal((await page.locator('tr:has(th:text-is("Ship to")) td').innerText()).trim(), viewport.city);
      listUrl = visit.listUrl(`ship_city=${viewport.city}`);
    });

    step('delete', async (page) => {
      await page.goto(listUrl);
      assert.equal(await visit.total(), 1);
      await visit.pickAllAndRun('Delete');
      await visit.shot('delete-confirmation');
      await page.getByRole('button', { name: 'Yes', exact: true }).click();
      await page.waitForSelector('.msg');
      assert.match(await page.locator('.msg').innerText(), /Record\(s\) has been delete successfully!/);
      // Back to the list the record was picked on: it now matches nothing.
      await page.click('a:text-is("Back to the list")');
      await page.waitForURL(/Search\.asp/);
      assert.equal(await visit.total(), 0);
      assert.deepEqual(await visit.filters(), ['Ship to']);
      assert.match(await page.locator('.tabrix-empty').innerText(), /No records match/);
      assert.ok(!(await page.locator('table:has(input[name=p])').isVisible()), 'no "Page of 0"');
      assert.ok(!(await page.locator('select[name=a]').isVisible()));
    });

    step('impossible date keeps the form', async (page) => {
      await page.goto(listUrl);
      await page.getByRole('link', { name: 'Add new', exact: true }).click();
      await page.waitForURL(/Add\.asp/);
      // A date that may be empty starts empty.
      for (const part of ['d', 'm', 'y', 'h', 'i'])
        assert.equal(await page.inputValue(`select[name=shipped_at_${part}]`), '', part);
      await page.selectOption('select[name=customer_id]', { index: 1 });
      await page.selectOption('select[name=order_date_d]', '30');
      await page.selectOption('select[name=order_date_m]', '2');
      await page.selectOption('select[name=order_date_y]', '2024');
      await page.fill('input[name=ship_city]', 'Keepville');
      await page.getByRole('button', { name: 'Add', exact: true }).click();
      await page.waitForSelector('.error-box');
      assert.match(await page.locator('.error-box').innerText(), /order_date.*no date/s);
      assert.match(await page.locator('tr:has(select[name=order_date_d]) .field-error').innerText(),
        /no date/);
      assert.equal(await page.inputValue('input[name=ship_city]'), 'Keepville');
      assert.equal(await page.inputValue('select[name=order_date_d]'), '30');
      await visit.shot('form-kept');
      await page.goto(listUrl);
      assert.equal(await visit.total(), 0, 'nothing was added');
    });

    step('yes/no search', async (page) => {
      await page.goto(visit.listUrl('c=10'));
      const all = await visit.total();
      await page.click('a[onclick*="OpenClose(\'divarama\')"] >> nth=0');
      await page.selectOption('#divarama select[data-for=paid]', { label: 'Yes' });
      await Promise.all([
        page.waitForURL(/[?&]paid=True(&|$)/),
        page.locator('#divarama').getByRole('button', { name: 'Search', exact: true }).click(),
      ]);
      const paid = await visit.total();
      assert.ok(paid > 0 && paid < all, `${paid} of ${all}`);
      await page.goto(visit.listUrl('c=10&paid=False'));
      assert.equal(await visit.total(), all - paid, 'the unpaid are the rest');
    });

    step('export', async (page) => {
      await page.goto(visit.listUrl('ship_city=n&c=10&o=id&o2=Asc'));
      const shown = await visit.column('No.');
      assert.equal(shown.length, 10);
      await visit.pickAllAndRun('Export');
      const [download] = await Promise.all([
        page.waitForEvent('download'),
        page.getByRole('button', { name: 'Yes', exact: true }).click(),
      ]);
      const csv = fs.readFileSync(await download.path(), 'utf8').replace(/^\uFEFF/, '');
      const lines = csv.split(/\r?\n/).filter((line) => line !== '');
      const header = lines[0].split(',');
      assert.ok(header.includes('No.') && header.includes('Ship to'), lines[0]);
      assert.equal(lines.length, 11, csv);
      const ids = lines.slice(1).map((line) => line.split(',')[header.indexOf('No.')]);
      assert.deepEqual(ids, shown);
      for (const line of lines.slice(1)) assert.match(line.split(',')[header.indexOf('Ship to')], /n/i);
    });

    // The list's link exports every row of its search, not only a page.
    step('export all', async (page) => {
      await page.goto(visit.listUrl('ship_city=n&c=10&o=id&o2=Asc'));
      const total = await visit.total();
      assert.ok(total > 10, 'more rows than one page');
      assert.match(await page.locator('.export-all').innerText(), new RegExp(`Export all ${total} rows`));
      await visit.shot('export-all-links');
      const download = async (label) => {
        const [file] = await Promise.all([
          page.waitForEvent('download'),
          page.click(`.export-all a:text-is("${label}")`),
        ]);
        return fs.readFileSync(await file.path(), 'utf8');
      };
      const rows = CsvRows((await download('CSV')).replace(/^\uFEFF/, ''));
      const header = rows[0];
      const city = header.indexOf('Ship to');
      assert.ok(city >= 0, header.join(','));
      assert.equal(rows.length - 1, total);
      for (const row of rows.slice(1)) assert.match(row[city], /n/i);
      const objects = JSON.parse(await download('JSON'));
      assert.equal(objects.length, total);
      for (const object of objects) assert.match(object.ship_city, /n/i);
      assert.deepEqual(objects.map((o) => String(o.id)), rows.slice(1).map((r) => r[header.indexOf('No.')]));
    });

    step('logout', async (page) => {
      await page.goto(listUrl);
      await page.click('a:text-is("Logout")');
      await page.waitForURL(/Login\.asp/);
      assert.match(await page.locator('.msg').innerText(), /logged out/);
      await page.goto(listUrl);
      assert.match(page.url(), /Login\.asp/);
      assert.ok(await page.locator('#password').isVisible(), 'the login form is shown');
    });
  });

  describe(`viewer and clerk at ${viewport.name} width`, () => {
    const visit = new Visit(viewport);
    const step = Steps(visit);
    before(() => visit.open());
    after(() => visit.close());

    step('viewer changes nothing', async (page) => {
      await visit.login('viewer');
      await visit.openTable('Orders');
      assert.ok((await visit.grid()).rows.length > 0);
      assert.equal(await page.getByRole('link', { name: 'Add new' }).count(), 0, 'no add link');
      assert.equal(await page.locator('select[name=a] option').count(), 0, 'no action');
      assert.ok(!(await page.locator('select[name=a]').isVisible()), 'no action bar');
      assert.ok(!(await page.locator('#checkall').isVisible()));
      assert.ok(!(await page.locator('#check1').isVisible()), 'no row boxes');
      await visit.shot('viewer-list');
      await page.click('table:has(> tbody th[scope=row]) tbody > tr >> nth=0 >> th a');
      await page.waitForURL(/Info\.asp/);
      assert.equal(await page.locator('a:text-is("Update")').count(), 0, 'no update link');
      assert.equal(await page.locator('a[href*="Action.asp"]').count(), 0, 'no action link');
      await page.click('a:text-is("Logout")');
      await page.waitForURL(/Login\.asp/);
    });

    step('clerk sees no hidden field', async (page) => {
      await visit.login('clerk');
      const menu = await page.locator('nav.site-menu').innerText();
      assert.doesNotMatch(menu, /Employees/);
      await visit.openTable('Customers');
      const { columns } = await visit.grid();
      assert.ok(columns.includes('Name'), JSON.stringify(columns));
      for (const hidden of ['Email', 'Phone', 'Credit limit'])
        assert.ok(!columns.includes(hidden), `${hidden} in ${JSON.stringify(columns)}`);
      await page.click('table:has(> tbody th[scope=row]) tbody > tr >> nth=0 >> th a');
      await page.waitForURL(/Info\.asp/);
      const fields = (await page.locator('.page th').allInnerTexts()).map((t) => t.trim());
      assert.ok(fields.includes('Name'));
      for (const hidden of ['Email', 'Phone', 'Credit limit']) assert.ok(!fields.includes(hidden), hidden);
    });
  });
}

// The dark scheme: the list with its search panel open, a record and the add
// form pass the same check.
describe('admin in the dark scheme', () => {
  const visit = new Visit(viewports[0], 'dark');
  const step = Steps(visit);
  before(() => visit.open());
  after(() => visit.close());

  step('dark list and form', async (page) => {
    await visit.login('admin');
    await visit.openTable('Orders');
    await page.click('a[onclick*="OpenClose(\'divarama\')"] >> nth=0');
    await page.waitForSelector('#divarama', { state: 'visible' });
    await visit.shot('dark-list');
    await page.locator('#divarama').getByRole('link', { name: 'Close' }).click();
    await page.click('table:has(> tbody th[scope=row]) tbody > tr >> nth=0 >> th a');
    await page.waitForURL(/Info\.asp/);
    await visit.shot('dark-record');
    await visit.openTable('Orders');
    await page.getByRole('link', { name: 'Add new', exact: true }).click();
    await page.waitForURL(/Add\.asp/);
  });
});
