#pragma once

#include <map>

class QWidget;

// The controls of a built dialog, by control id.
class ControlMap {
public:
    void Add(int controlId, QWidget* control) { controls[controlId] = control; }

    // Null for an id the dialog does not have.
    QWidget* Find(int controlId) const {
        const auto found = controls.find(controlId);
        return found == controls.end() ? nullptr : found->second;
    }

private:
    std::map<int, QWidget*> controls;
};
