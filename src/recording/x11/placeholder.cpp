// Keeps the library non-empty until the recorder lands.
