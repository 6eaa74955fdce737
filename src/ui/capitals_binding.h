#pragma once

class QLineEdit;

// Letters typed or pasted into a call field turn into capitals at once (wildcards and digits unchanged).
// Text set by the program is shown as it is, so a hand-edited lower-case call stays visible until retyped.
void bindCapitals(QLineEdit &field);
