// Files the user gives the page: chosen with the file input, or dropped
// anywhere on the page. `use(files)` gets each choice, as a list.
export function followChosenFiles(input, use) {
  input.addEventListener('change', () => {
    // Cleared at once, so that the same files chosen again count; the list
    // is live, so its files are taken first.
    use([...input.files]);
    input.value = '';
  });
  const { body } = input.ownerDocument;
  body.addEventListener('dragover', (event) => {
    event.preventDefault();
    body.classList.add('dropping');
  });
  body.addEventListener('dragleave', () => body.classList.remove('dropping'));
  body.addEventListener('drop', (event) => {
    event.preventDefault();
    body.classList.remove('dropping');
    use([...event.dataTransfer.files]);
  });
}
