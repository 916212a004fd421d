// The shared library is made of the layer archives; this unit only anchors the target.
