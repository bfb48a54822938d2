// A visit to the demo site in headless chromium, at a desktop and a phone
// width: the admin logs in, searches, sorts, pages, follows a relation,
// adds, updates, deletes and exports orders and logs out; the viewer finds
// nothing to change and the clerk does not see the hidden fields. Each step
// leaves a screenshot, and every page it shows passes axe-core's checks
// without a serious or critical finding, in the light and the dark scheme.
// Started by ./run, which serves the demo and passes its address and
// passwords in the environment.
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
      await page.getByRole('link', { name: 'Next page', exact: true }).click();
      await page.waitForLoadState();
      assert.equal(await page.locator('font[size="3"] b').innerText(), '2');
      const days = (await visit.column('Order date')).map(DayOf);
      assert.ok(days.length > 0 && days.length <= 10);
      assert.ok(days[0] >= lastOfFirstPage, 'page 2 goes on where page 1 ended');
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
      await page.check('input[name=Checked_status]');
      await page.selectOption('select[name=status]', { label: 'Packed' });
      // A changed value whose box is not ticked stays as it was.
      await page.fill('input[name=ship_city]', 'Nowhere');
      await visit.shot('update-form');
      await page.getByRole('button', { name: 'Update', exact: true }).click();
      await page.waitForURL(/Info\.asp/);
      assert.match(await page.locator('.msg').innerText(), /Record updated successfully!/);
      assert.equal((await page.locator('tr:has(th:text-is("Status")) td').innerText()).trim(), 'Packed');
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
      await page.goto(listUrl);
      assert.equal(await visit.total(), 0);
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
