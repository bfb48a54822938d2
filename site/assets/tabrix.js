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

document.addEventListener('DOMContentLoaded', function () {
  Array.prototype.forEach.call(document.querySelectorAll('form[action="Update.asp"]'), TabrixWatchUpdateForm);
});
