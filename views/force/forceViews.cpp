// Force-vector model views.
