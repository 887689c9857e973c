// Placeholder: filled in with the reader library.
