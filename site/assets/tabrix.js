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
