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
