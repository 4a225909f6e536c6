// Keeps the library non-empty until its sources land.
