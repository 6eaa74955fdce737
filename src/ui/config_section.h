#pragma once

#include <QGroupBox>

// A group of settings in the Config dialog that fills itself from the model and stores itself back. The
// dialog calls load() on every showing and store() on Quit and on its close box, like its own fields.
class ConfigSection : public QGroupBox {
    Q_OBJECT
public:
    using QGroupBox::QGroupBox;

    virtual void load() = 0;
    virtual void store() = 0;
};
