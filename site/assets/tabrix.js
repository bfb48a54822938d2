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
