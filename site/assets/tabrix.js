// Tabrix: the site's script. The component's markup calls OpenClose(id) to
// show or hide a part of the page (the list page's search panel).
function OpenClose(id) {
  var element = document.getElementById(id);
  if (!element) return;
  var hidden = element.classList.contains('cantvisible') ||
               window.getComputedStyle(element).display === 'none';
  if (hidden) {
    element.classList.remove('cantvisible');
    element.style.display = '';
    if (window.getComputedStyle(element).display === 'none') element.style.display = 'block';
  } else {
    element.style.display = 'none';
  }
}

// Yes/no fields. The component writes a text box for them; the page lists
// them (the JSON in #tabrix-fields), and each box becomes a choice of Yes
// or No, which posts the words every locale reads ("True", "False"). In the
// search panel the first choice is "Either", which sets no criterion. The
// box stays, hidden, and carries the choice: the markup's forms are
// unclosed, and only the boxes the page was parsed with belong to them.
function TabrixYesNoChoices() {
  var hint = document.getElementById('tabrix-fields');
  if (!hint) return;
  var kinds;
  try { kinds = JSON.parse(hint.textContent); } catch (e) { return; }
  var names = kinds.yesno || [];
  var falseWords = ['', '0', 'false', 'no', String(kinds.false_word || '').toLowerCase()];
  var boxes = document.querySelectorAll('input[name]');
  for (var i = 0; i < boxes.length; i++) {
    var box = boxes[i];
    if (names.indexOf(box.name) < 0 || box.type === 'checkbox' || box.type === 'hidden') continue;
    var value = box.value.trim().toLowerCase();
    var inSearch = !!box.closest('#divarama');
    var choices = inSearch ? [['', 'Either'], ['True', 'Yes'], ['False', 'No']]
                           : [['True', 'Yes'], ['False', 'No']];
    var chosen = inSearch && value === '' ? '' : (falseWords.indexOf(value) >= 0 ? 'False' : 'True');
    var select = document.createElement('select');
    select.className = 'select';
    select.setAttribute('data-for', box.name);
    for (var c = 0; c < choices.length; c++) {
      var option = new Option(choices[c][1], choices[c][0]);
      option.selected = choices[c][0] === chosen;
      select.appendChild(option);
    }
    box.type = 'hidden';
    box.value = chosen;
    select.addEventListener('change', (function (carrier) {
      return function (event) {
        carrier.value = event.target.value;
        carrier.dispatchEvent(new Event('change', { bubbles: true }));
      };
    })(box));
    box.parentNode.insertBefore(select, box);
  }
}
document.addEventListener('DOMContentLoaded', TabrixYesNoChoices);

// ---------------------------------------------------------------------------
// The update form: a changed field is a field to update. The form writes
// only the fields whose "Checked_<field>" box is ticked, so an edit ticks
// the box of its row, and a ticked row is marked.
function TabrixUpdateFormRow(element) {
  var row = element.closest('tr');
  if (!row) return null;
  var box = row.querySelector('input[type="checkbox"][name^="Checked_"]');
  return box ? { row: row, box: box } : null;
}

function TabrixMarkTicked(found) {
  found.row.classList.toggle('tabrix-ticked', found.box.checked);
}

function TabrixWatchUpdateForm(form) {
  var boxes = form.querySelectorAll('input[type="checkbox"][name^="Checked_"]');
  if (boxes.length === 0) return;
  form.classList.add('tabrix-update-form');
  var changed = function (event) {
    var found = TabrixUpdateFormRow(event.target);
    if (!found) return;
    if (event.target !== found.box) found.box.checked = true;
    TabrixMarkTicked(found);
  };
  form.addEventListener('input', changed);
  form.addEventListener('change', changed);
  boxes.forEach(function (box) { TabrixMarkTicked(TabrixUpdateFormRow(box)); });
}

// ---------------------------------------------------------------------------
// The list page: its state is the address's items. The component's sort
// and paging links submit the page's form from script; they become real
// addresses (bookmarks, a new tab), built from the items the page was asked
// with, without the action bar's and the row boxes' items.
var kTabrixMonths = ['January', 'February', 'March', 'April', 'May', 'June', 'July',
  'August', 'September', 'October', 'November', 'December'];

// A JavaScript string as the component writes it into an onclick: bytes
// outside letters and digits come as \xHH.
function TabrixScriptString(text) {
  return text.replace(/\\x([0-9A-Fa-f]{2})/g, function (all, hex) {
    return String.fromCharCode(parseInt(hex, 16));
  });
}

// Whether the item `name` of `items` is worth keeping in a list's address:
// not the action bar's, not a row box, not empty, and a date range's parts
// only while its field's switch is on.
function TabrixKeepsItem(items, name, value) {
  if (value === '' || name === 'a' || name === 'idler' || name === 'x' || name === 'y') return false;
  if (/^id\d+$/.test(name)) return false;
  var part = /^(.+)[12]_[a-z]$/.exec(name);
  if (part && !items.has(part[1])) return false;
  return true;
}

// The list page's address with `changes` ({name: value}; null drops it) and
// `dropped` (names or a test on names) applied to `items`.
function TabrixListAddress(items, changes, dropped) {
  var kept = new URLSearchParams();
  items.forEach(function (value, name) {
    if (!TabrixKeepsItem(items, name, value)) return;
    if (changes && Object.prototype.hasOwnProperty.call(changes, name)) return;
    if (dropped && dropped(name)) return;
    kept.append(name, value);
  });
  Object.keys(changes || {}).forEach(function (name) {
    if (changes[name] !== null) kept.set(name, changes[name]);
  });
  return 'Search.asp?' + kept.toString();
}

// The list page's parts, or null on other pages.
function TabrixListPage() {
  var form = document.forms.form1;
  var head = document.querySelector('.page table > thead > tr > th[scope="col"]');
  if (!form || !head || !/Search\.asp$/i.test(form.getAttribute('action') || '')) return null;
  var grid = head.closest('table');
  var items = new URLSearchParams(window.location.search);
  // The component answers what it was asked: without items in the address
  // (a form posted), the form's own values are the state.
  if (!items.has('t')) items = new URLSearchParams(new FormData(form));
  var list = {
    form: form,
    grid: grid,
    items: items,
    table: form.elements.t ? form.elements.t.value : '',
    sort: form.elements.o ? form.elements.o.value : '',
    direction: form.elements.o2 ? form.elements.o2.value : '',
    columns: [],     // per head cell: {cell, name, caption}
    captions: {},    // a field's name -> its caption
    rows: grid.querySelectorAll(':scope > tbody > tr').length,
  };
  grid.querySelectorAll(':scope > thead > tr > th[scope="col"]').forEach(function (cell) {
    var link = cell.querySelector('a[onclick*="form1.o.value"]');
    var match = link && /form1\.o\.value='([^']*)';form1\.o2\.value='([^']*)'/.exec(
      link.getAttribute('onclick'));
    var column = { cell: cell, link: link, name: match ? TabrixScriptString(match[1]) : '',
      direction: match ? match[2] : '', caption: cell.textContent.trim() };
    list.columns.push(column);
    if (column.name) list.captions[column.name] = column.caption;
  });
  // The search panel's rows: a caption, then the controls of one field.
  document.querySelectorAll('#divarama tr').forEach(function (row) {
    var caption = row.querySelector(':scope > th');
    var control = row.querySelector('input[name], select[name], textarea[name]');
    if (!caption || !control) return;
    list.captions[control.name] = caption.textContent.replace(/\u00a0/g, ' ').trim()
      .replace(/:$/, '');
  });
  return list;
}

// ---------------------------------------------------------------------------
// The list page's links: sorting by a column's name as well as its arrow,
// the sorted column marked, paging as real addresses.
function TabrixListLinks(list) {
  list.columns.forEach(function (column) {
    if (!column.link) return;
    column.link.setAttribute('href', TabrixListAddress(list.items,
      { o: column.name, o2: column.direction, p: '1' }));
    column.link.removeAttribute('onclick');
    // The caption goes into the link, so the whole head is one target.
    var caption = column.cell.firstChild;
    if (caption && caption.nodeType === Node.TEXT_NODE) column.link.insertBefore(caption, column.link.firstChild);
    column.link.classList.add('tabrix-sort');
    var sorted = column.name === list.sort;
    if (sorted) {
      column.cell.setAttribute('aria-sort', list.direction === 'Asc' ? 'ascending' : 'descending');
      column.cell.classList.add(list.direction === 'Asc' ? 'tabrix-sorted-asc' : 'tabrix-sorted-desc');
    }
    column.link.title = 'Sort by ' + column.caption +
      (column.direction === 'Asc' ? ', ascending' : ', descending');
  });
  document.querySelectorAll('a[onclick^="form1.p.value="]').forEach(function (link) {
    var match = /form1\.p\.value='(\d+)'/.exec(link.getAttribute('onclick'));
    if (!match) return;
    link.setAttribute('href', TabrixListAddress(list.items, { p: match[1] }));
    link.removeAttribute('onclick');
    link.classList.add('tabrix-page-link');
  });
  // The page size and a new search lead to the first page of a clean
  // address too.
  var size = list.form.elements.c;
  if (size && size.tagName === 'SELECT') {
    size.removeAttribute('onchange');
    size.addEventListener('change', function () {
      window.location.assign(TabrixListAddress(list.items, { c: size.value, p: '1' }));
    });
  }
  list.form.addEventListener('submit', function (event) {
    if (!/Search\.asp$/i.test(list.form.getAttribute('action') || '')) return;
    event.preventDefault();
    var asked = new URLSearchParams(new FormData(list.form));
    window.location.assign(TabrixListAddress(asked, { p: '1' }));
  });
}

// ---------------------------------------------------------------------------
// The list page's active filters: one chip per searched field, each with a
// link to the list without it, and one link to the list without any.
function TabrixDateText(items, name, which) {
  var day = items.get(name + which + '_d'), month = items.get(name + which + '_m'),
    year = items.get(name + which + '_y');
  if (!day || !month || !year) return '';
  return Number(day) + ' ' + (kTabrixMonths[Number(month) - 1] || month) + ' ' + year;
}

function TabrixActiveFilters(list) {
  var reserved = ['go', 't', 'o', 'o2', 'p', 'c', 'a'];
  var filters = [];
  list.items.forEach(function (value, name) {
    if (reserved.indexOf(name) >= 0 || !TabrixKeepsItem(list.items, name, value)) return;
    if (!Object.prototype.hasOwnProperty.call(list.captions, name)) return;
    if (filters.some(function (f) { return f.name === name; })) return;
    var shown = value;
    var control = list.form.elements[name];
    if (control && control.tagName === 'SELECT') {
      var option = Array.prototype.find.call(control.options, function (o) { return o.value === value; });
      if (option) shown = option.text;
    } else if (control && control.type === 'checkbox' && list.items.has(name + '1_d')) {
      shown = TabrixDateText(list.items, name, '1') + ' \u2013 ' + TabrixDateText(list.items, name, '2');
    }
    filters.push({ name: name, caption: list.captions[name], value: shown });
  });
  return filters;
}

function TabrixWithout(names) {
  return function (name) {
    return names.some(function (field) {
      return name === field || name.startsWith(field + '1_') || name.startsWith(field + '2_');
    });
  };
}

function TabrixFilterBar(list, filters) {
  var bar = document.createElement('div');
  bar.className = 'tabrix-filters';
  if (filters.length === 0) return bar;
  var title = document.createElement('span');
  title.className = 'tabrix-filters-title';
  title.textContent = 'Filters:';
  bar.appendChild(title);
  filters.forEach(function (filter) {
    var chip = document.createElement('span');
    chip.className = 'tabrix-chip';
    chip.dataset.field = filter.name;
    var text = document.createElement('span');
    text.textContent = filter.caption + ': ';
    var value = document.createElement('b');
    value.textContent = filter.value;
    text.appendChild(value);
    var remove = document.createElement('a');
    remove.className = 'tabrix-chip-remove';
    remove.href = TabrixListAddress(list.items, { p: '1' }, TabrixWithout([filter.name]));
    remove.setAttribute('aria-label', 'Remove the filter ' + filter.caption);
    remove.title = 'Remove this filter';
    remove.textContent = '\u00d7';
    chip.appendChild(text);
    chip.appendChild(remove);
    bar.appendChild(chip);
  });
  bar.appendChild(TabrixClearAll(list, filters, 'Clear all'));
  return bar;
}

function TabrixClearAll(list, filters, text) {
  var clear = document.createElement('a');
  clear.className = 'tabrix-clear-filters';
  clear.href = TabrixListAddress(list.items, { p: '1' },
    TabrixWithout(filters.map(function (f) { return f.name; })));
  clear.textContent = text;
  return clear;
}

// ---------------------------------------------------------------------------
// The list page's columns: a "Columns" menu hides and shows them, remembered
// per table in this browser. The record link column and the row boxes stay.
function TabrixHiddenColumns(list) {
  try {
    var saved = JSON.parse(window.localStorage.getItem('tabrix.columns.' + list.table) || '[]');
    return Array.isArray(saved) ? saved : [];
  } catch (e) {
    return [];
  }
}

function TabrixSaveHiddenColumns(list, hidden) {
  try {
    if (hidden.length === 0) window.localStorage.removeItem('tabrix.columns.' + list.table);
    else window.localStorage.setItem('tabrix.columns.' + list.table, JSON.stringify(hidden));
  } catch (e) { /* storage refused: the choice lasts for this page */ }
}

function TabrixShowColumns(list, hidden) {
  var rows = list.grid.querySelectorAll(':scope > thead > tr, :scope > tbody > tr');
  list.columns.forEach(function (column, at) {
    var off = column.name !== '' && at > 0 && hidden.indexOf(column.name) >= 0;
    rows.forEach(function (row) {
      if (row.cells[at]) row.cells[at].classList.toggle('tabrix-column-hidden', off);
    });
  });
}

function TabrixColumnMenu(list) {
  var menu = document.createElement('details');
  menu.className = 'tabrix-columns';
  var summary = document.createElement('summary');
  summary.textContent = 'Columns';
  menu.appendChild(summary);
  var choices = document.createElement('fieldset');
  var legend = document.createElement('legend');
  legend.textContent = 'Columns shown';
  choices.appendChild(legend);
  var hidden = TabrixHiddenColumns(list);
  list.columns.forEach(function (column, at) {
    // The first column links to the record; a head without a sort link
    // is the row boxes' column.
    if (at === 0 || column.name === '') return;
    var label = document.createElement('label');
    var box = document.createElement('input');
    box.type = 'checkbox';
    box.value = column.name;
    box.checked = hidden.indexOf(column.name) < 0;
    box.addEventListener('change', function () {
      hidden = hidden.filter(function (name) { return name !== column.name; });
      if (!box.checked) hidden.push(column.name);
      TabrixSaveHiddenColumns(list, hidden);
      TabrixShowColumns(list, hidden);
    });
    label.appendChild(box);
    label.appendChild(document.createTextNode(' ' + column.caption));
    choices.appendChild(label);
  });
  menu.appendChild(choices);
  document.addEventListener('click', function (event) {
    if (menu.open && !menu.contains(event.target)) menu.open = false;
  });
  TabrixShowColumns(list, hidden);
  return menu;
}

// ---------------------------------------------------------------------------
// The list page's empty states: a search that matches nothing says so and
// offers its filters to clear instead of "Page of 0"; a user without
// actions sees no action bar and no row boxes.
function TabrixPagerTable(list) {
  var paging = list.form.elements.p;
  return paging ? paging.closest('table') : null;
}

function TabrixEmptyState(list, filters, before) {
  if (list.rows > 0) return;
  list.grid.classList.add('tabrix-empty-grid');
  var pager = TabrixPagerTable(list);
  if (pager) pager.classList.add('tabrix-empty-pager');
  var note = document.createElement('div');
  note.className = 'tabrix-empty';
  note.setAttribute('role', 'status');
  var title = document.createElement('p');
  title.className = 'tabrix-empty-title';
  title.textContent = filters.length > 0 ? 'No records match' : 'No records yet';
  note.appendChild(title);
  if (filters.length > 0) {
    var hint = document.createElement('p');
    hint.textContent = 'Remove a filter above, or ';
    hint.appendChild(TabrixClearAll(list, filters, 'clear all filters'));
    hint.appendChild(document.createTextNode('.'));
    note.appendChild(hint);
  }
  before.parentNode.insertBefore(note, before);
}

function TabrixActionBar(list) {
  var actions = list.form.elements.a;
  if (!actions || actions.tagName !== 'SELECT' || actions.options.length > 0) return;
  var cell = actions.closest('td');
  if (cell) cell.classList.add('tabrix-no-actions');
  list.grid.classList.add('tabrix-no-row-boxes');
}

// ---------------------------------------------------------------------------
// The grid's fit: a column of short values (numbers, dates, names) stays on
// one line; longer values (times, notes) wrap, so the grid fits the page.
function TabrixGridFit(list) {
  var rows = list.grid.querySelectorAll(':scope > tbody > tr');
  list.columns.forEach(function (column, at) {
    var longest = 0;
    rows.forEach(function (row) {
      var cell = row.cells[at];
      if (cell) longest = Math.max(longest, cell.textContent.trim().length);
    });
    if (longest > 20) return;
    column.cell.classList.add('tabrix-short');
    rows.forEach(function (row) {
      if (row.cells[at]) row.cells[at].classList.add('tabrix-short');
    });
  });
}

// ---------------------------------------------------------------------------
function TabrixListPageSetUp() {
  var list = TabrixListPage();
  if (!list) return;
  var filters = TabrixActiveFilters(list);
  TabrixListLinks(list);
  TabrixActionBar(list);
  TabrixGridFit(list);
  // The tools go above the summary bar ("Total : n"), else above the grid.
  var total = Array.prototype.find.call(list.form.querySelectorAll('td'), function (cell) {
    return /^\s*Total :/.test(cell.textContent);
  });
  var anchor = total ? total.closest('table') : list.grid;
  var tools = document.createElement('div');
  tools.className = 'tabrix-grid-tools';
  tools.appendChild(TabrixFilterBar(list, filters));
  if (list.rows > 0) tools.appendChild(TabrixColumnMenu(list));
  anchor.parentNode.insertBefore(tools, anchor);
  TabrixEmptyState(list, filters, list.grid);
}

document.addEventListener('DOMContentLoaded', function () {
  Array.prototype.forEach.call(document.querySelectorAll('form[action="Update.asp"]'), TabrixWatchUpdateForm);
  TabrixListPageSetUp();
});

// ---- Names for everyone: images, controls and buttons -------------------
// The component draws its buttons and icons as GIF images without alt text
// and writes its form controls without labels. When a page loads, each
// image gets a text alternative from what it means, each control a name from
// the caption in its row, and the images that hold a word (ADD, CANCEL...)
// become text drawn by the stylesheet, so they follow the text size and the
// colour scheme.

// Images that are a word on a button: the word, and whether the button does
// the page's main thing or steps back.
var kWordImages = {
  but_search: { text: 'Search' },
  but_add: { text: 'Add' },
  but_update: { text: 'Update' },
  but_yes: { text: 'Yes' },
  but_go2: { text: 'Go' },
  co_addnew: { text: 'Add new' },
  but_cancel: { text: 'Cancel', quiet: true },
  butback: { text: 'Back', quiet: true },
};

// Icons: what each says. An empty text marks an icon beside words that say
// the same (the menu's table icons, "Update", "Delete"): decoration.
var kIconTexts = {
  ico_ara: 'Search',
  ico_close: 'Close',
  ico_next: 'Next page',
  ico_back: 'Previous page',
  sort: 'Sort',
  link: 'Open the related record',
  ico_ekle: '',
  ico_sil: '',
  ico_guncelle: '',
  ico_grup: '',
  ico_tablo: '',
};

// "but_add" for ".../images/but_add.gif"; "" for another address.
function TabrixImageName(element) {
  var match = /(?:^|\/)images\/([A-Za-z0-9_]+)\.gif$/.exec(element.getAttribute('src') || '');
  return match ? match[1].toLowerCase() : '';
}

// The text of a caption cell without its controls' values, colons and
// non-breaking spaces: "Order date" for "&nbsp;Order date:".
function TabrixCaptionText(cell) {
  return (cell ? cell.textContent : '').replace(/\u00a0/g, ' ').replace(/:\s*$/, '').trim()
    .replace(/\s*:$/, '').replace(/\s+/g, ' ');
}

// The words just before `element` in its parent ("Record per page" before
// the page-size list), skipping line breaks.
function TabrixTextBefore(element) {
  for (var node = element.previousSibling; node; node = node.previousSibling) {
    if (node.nodeType === Node.ELEMENT_NODE && node.tagName === 'BR') continue;
    if (node.nodeType !== Node.TEXT_NODE) return '';
    var text = TabrixCaptionText({ textContent: node.textContent });
    if (text) return text;
  }
  return '';
}

function TabrixIconText(img, name) {
  var text = kIconTexts[name];
  if (name === 'sort') {
    var heading = img.closest('th');
    var column = heading ? TabrixCaptionText(heading) : '';
    if (column) text = 'Sort by ' + column;
  } else if (name === 'link') {
    // The value the link belongs to is written just before it.
    var link = img.closest('a') || img;
    var before = link.previousSibling;
    var value = before ? TabrixCaptionText({ textContent: before.textContent }) : '';
    if (value) text = 'Open the related record: ' + value;
  }
  if (text === undefined) text = name.replace(/^(ico|but|co)_?/, '').replace(/_/g, ' ');
  return text;
}

function TabrixTextButton(word, tag) {
  var button = document.createElement(tag);
  button.className = 'text-button' + (word.quiet ? ' quiet' : '');
  button.textContent = word.text;
  return button;
}

function TabrixNameImages(root) {
  root.querySelectorAll('img[src], input[type=image]').forEach(function (image) {
    var name = TabrixImageName(image);
    var word = kWordImages[name];
    if (word && image.tagName === 'INPUT' && !image.name) {
      // Without a name an image input sends nothing of its own; a submit
      // button without a name sends nothing either, so the form's data stay
      // as they were. A named one (NAME.x, NAME.y) is left as it is.
      var button = TabrixTextButton(word, 'button');
      button.type = 'submit';
      var form = image.form;
      image.replaceWith(button);
      // The component opens some forms inside a table, where the parser ties
      // the controls to the form without putting them in it: the button
      // names its form.
      if (form && button.form !== form) {
        if (!form.id) form.id = 'tabrix-form-' + Array.prototype.indexOf.call(document.forms, form);
        button.setAttribute('form', form.id);
      }
    } else if (word && image.tagName === 'IMG' && image.closest('a')) {
      image.replaceWith(TabrixTextButton(word, 'span'));
    } else if (!image.hasAttribute('alt')) {
      image.alt = word ? word.text : TabrixIconText(image, name);
    }
  });
}

// The parts of a date written as several lists: "order_date1_d" is the day
// of the range's start.
var kDateParts = { d: 'day', m: 'month', y: 'year', h: 'hour', i: 'minute' };

function TabrixControlLabel(control, row) {
  var name = control.getAttribute('name') || '';
  if (control.id === 'checkall') return 'Select all rows';
  var pick = /^check(\d+)$/.exec(control.id);
  if (pick) return 'Pick row ' + pick[1];
  if (control.tagName === 'SELECT' && name === 'a') return 'Action';
  var caption = row ? TabrixCaptionText(row.querySelector(':scope > th')) : '';
  if (caption) {
    var cell = control.closest('td, th');
    if (cell && cell.tagName === 'TH') return 'Change ' + caption;  // the update form's tick
    if (control.type === 'checkbox') return 'Search by ' + caption;
    var several = cell && cell.querySelectorAll('input, select, textarea').length > 1;
    var part = several && /(?:([12]))?_([dmyhi])$/.exec(name);
    if (part) {
      var range = part[1] === '1' ? ' from' : part[1] === '2' ? ' to' : '';
      return caption + range + ', ' + kDateParts[part[2]];
    }
    return caption;
  }
  return TabrixTextBefore(control) || name;
}

function TabrixHasName(control) {
  return (control.labels && control.labels.length > 0) || control.hasAttribute('aria-label') ||
    control.hasAttribute('aria-labelledby') || control.hasAttribute('title');
}

function TabrixLabelControls(root) {
  root.querySelectorAll('input:not([type=hidden]):not([type=image]), select, textarea')
    .forEach(function (control) {
      if (TabrixHasName(control)) return;
      var label = TabrixControlLabel(control, control.closest('tr'));
      if (label) control.setAttribute('aria-label', label);
    });
}

document.addEventListener('DOMContentLoaded', function () {
  TabrixNameImages(document);
  TabrixLabelControls(document);
});
