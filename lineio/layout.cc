// Placeholder: filled in with the line I/O layer.
