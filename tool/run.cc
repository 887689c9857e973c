// Placeholder: filled in with the main program.
