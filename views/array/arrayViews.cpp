// The pressure, taxel-array and channel-list model views and the force views without value text:
// one class per sensor model family, each with its own form. Their behaviour lives in arrayView
// and their constants in arrayViewTable; a class here only ties its class number to its form and
// makes itself known to the panel's view choice.
