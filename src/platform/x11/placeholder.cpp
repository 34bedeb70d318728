// Keeps the library non-empty until the backend lands.
