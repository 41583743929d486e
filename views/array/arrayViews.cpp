// Pressure, taxel-array and channel-list model views. None is built yet: the panel's view choice
// finds no creator for their type codes and leaves those panels without a view.
