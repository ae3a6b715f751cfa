// Accessibility elements of this process, derived from the view toolkit (platform/ui) on every
// call, with the names and error codes of the macOS Accessibility API.
//
// The tree: the application element has the visible windows of ui::Application as children
// (in the order the windows were created). A window's children are the visible subviews of its
// content view: the content view itself is not an element of its own, as the content view of an
// AppKit window is not. Below that every visible view is an element; hidden views (and all
// views inside them) are left out. An open pop-up menu is the pop-up's one child ("AXMenu"),
// with an "AXMenuItem" per item.
//
// Elements hold their views weakly. An element whose view is gone, or no longer in a window (it
// was taken out of the tree, or its window was rebuilt with new views), answers every call with
// kAXErrorInvalidUIElement; such stale elements are normal and always safe to use.
//
// Values are read from the views at each call: nothing is cached. Main thread only, as the views.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/ui/geometry.h"

namespace qlo::ax {

enum AXError : int {
    kAXErrorSuccess = 0,
    kAXErrorFailure = -25200,
    kAXErrorIllegalArgument = -25201,
    kAXErrorInvalidUIElement = -25202,
    kAXErrorCannotComplete = -25204,
    kAXErrorAttributeUnsupported = -25205,
    kAXErrorActionUnsupported = -25206,
    kAXErrorAPIDisabled = -25211,
    kAXErrorNoValue = -25212,
};

// Roles.
inline constexpr const char* kAXApplicationRole = "AXApplication";
inline constexpr const char* kAXWindowRole = "AXWindow";
inline constexpr const char* kAXButtonRole = "AXButton";
inline constexpr const char* kAXRadioButtonRole = "AXRadioButton";
inline constexpr const char* kAXPopUpButtonRole = "AXPopUpButton";
inline constexpr const char* kAXMenuRole = "AXMenu";
inline constexpr const char* kAXMenuItemRole = "AXMenuItem";
inline constexpr const char* kAXStaticTextRole = "AXStaticText";
inline constexpr const char* kAXTextFieldRole = "AXTextField";
inline constexpr const char* kAXImageRole = "AXImage";
inline constexpr const char* kAXScrollAreaRole = "AXScrollArea";
inline constexpr const char* kAXTableRole = "AXTable";
inline constexpr const char* kAXRowRole = "AXRow";
inline constexpr const char* kAXGroupRole = "AXGroup";

// Attributes.
inline constexpr const char* kAXRoleAttribute = "AXRole";
inline constexpr const char* kAXChildrenAttribute = "AXChildren";
inline constexpr const char* kAXTitleAttribute = "AXTitle";
inline constexpr const char* kAXDescriptionAttribute = "AXDescription";
inline constexpr const char* kAXValueAttribute = "AXValue";
inline constexpr const char* kAXPositionAttribute = "AXPosition";
inline constexpr const char* kAXSizeAttribute = "AXSize";
inline constexpr const char* kAXEnabledAttribute = "AXEnabled";
inline constexpr const char* kAXIdentifierAttribute = "AXIdentifier";
inline constexpr const char* kAXHelpAttribute = "AXHelp";

// Actions.
inline constexpr const char* kAXPressAction = "AXPress";
inline constexpr const char* kAXCancelAction = "AXCancel";

// What an element refers to; opaque. Null means "no element".
class ElementRef;
using Element = std::shared_ptr<const ElementRef>;

// An attribute's value: text, a number, a flag, a list of elements, a point or a size. A
// position is a Point and a size a Size, never text.
class Value {
public:
    enum class Type { None, Text, Number, Boolean, Elements, Point, Size };

    Value() = default;
    static Value Text(std::string text) { return Value(Data(std::move(text))); }
    static Value Number(double number) { return Value(Data(number)); }
    static Value Boolean(bool flag) { return Value(Data(flag)); }
    static Value Elements(std::vector<Element> elements) { return Value(Data(std::move(elements))); }
    static Value FromPoint(ui::Point point) { return Value(Data(point)); }
    static Value FromSize(ui::Size size) { return Value(Data(size)); }

    Type type() const { return static_cast<Type>(data_.index()); }
    // The value when it is of that type; null otherwise.
    const std::string* text() const { return std::get_if<std::string>(&data_); }
    const double* number() const { return std::get_if<double>(&data_); }
    const bool* boolean() const { return std::get_if<bool>(&data_); }
    const std::vector<Element>* elements() const { return std::get_if<std::vector<Element>>(&data_); }
    const ui::Point* point() const { return std::get_if<ui::Point>(&data_); }
    const ui::Size* size() const { return std::get_if<ui::Size>(&data_); }

private:
    // The order of the alternatives is the order of Type.
    using Data = std::variant<std::monostate, std::string, double, bool, std::vector<Element>,
                              ui::Point, ui::Size>;
    explicit Value(Data data) : data_(std::move(data)) {}
    Data data_;
};

// The geometry types AXValueGetValue extracts.
enum AXValueType { kAXValueCGPointType = 1, kAXValueCGSizeType = 2 };

// Copies a point (into a ui::Point) or a size (into a ui::Size) out of a value. False when the
// value does not hold that type or `out` is null.
bool AXValueGetValue(const Value& value, AXValueType type, void* out);

// The application element of this process; null for any other process id.
Element AXUIElementCreateApplication(pid_t pid);

// Reads an attribute into *out (left as it was on failure). kAXErrorIllegalArgument for a null
// element or out; kAXErrorAPIDisabled while the process is not trusted;
// kAXErrorInvalidUIElement for a stale element; kAXErrorAttributeUnsupported when the element
// has no such attribute; kAXErrorNoValue when it has it but it holds nothing now.
AXError AXUIElementCopyAttributeValue(const Element& element, const std::string& attribute,
                                      Value* out);

// The names of the attributes the element supports, in a fixed order.
AXError AXUIElementCopyAttributeNames(const Element& element, std::vector<std::string>* names);

// Performs an action: "AXPress" clicks a button or radio button, opens a pop-up's menu, or
// chooses a menu item (which selects it, closes the menu and sends the pop-up's action);
// "AXCancel" closes an open menu. kAXErrorActionUnsupported for any other action or element;
// kAXErrorCannotComplete when the control is disabled or hidden, or the item is no longer in
// an open menu; the read errors above otherwise.
AXError AXUIElementPerformAction(const Element& element, const std::string& action);

// Whether two elements refer to the same thing.
bool AXElementsEqual(const Element& a, const Element& b);

// A program whose views follow its model lazily (rebuilt when next shown) installs a handler
// that brings them up to date; it runs whenever the application element's children are read,
// that is before every walk of the tree, so that a walk never sees views the model has left
// behind. Empty: none.
void SetViewsUpdateHandler(std::function<void()> handler);

// Whether this process may use the accessibility API (true unless turned off). While it may
// not, the application element can still be created but every read and action fails with
// kAXErrorAPIDisabled.
bool AXIsProcessTrusted();
void SetProcessTrustedForTesting(bool trusted);

// The tree below `root` (depth first), one line per element: indentation, role, then the title
// or value in quotes when there is one, the description, and the frame "(x, y, w x h)". At most
// `limit` elements are listed; a last line says when the tree goes on.
std::string DescribeElementTree(const Element& root, int64_t limit = 2000);

}  // namespace qlo::ax
