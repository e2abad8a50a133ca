// The configuration dialog and its "MORE " dialog as FLTK windows. Each
// window is built row by row from its template: dialog units become pixels
// through the dialog font (FLTK's sans face at 12 pixels), check boxes,
// radio buttons and push buttons are FLTK's own, group boxes are engraved
// frames with their text cut into the top line, and sliders draw a tick
// mark for every position above a horizontal slider. The view holds no
// settings of its own: it shows a DialogState, reads one back when a button
// is pressed and hands it to the model, which does the reading, writing and
// reporting. Each dialog runs its own modal loop on the program's only
// thread; "MORE " runs nested inside the first dialog's button callback.
// Nothing here runs while the saver draws.
#include "settings/config_dialog.h"

#include <cmath>
#include <string>

#include <stb_image.h>

#include "resources/resource_data.h"
#include "settings/settings_store.h"

// Last: Xlib's macros (None, Bool, Status) would clash with the names above.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Round_Button.H>
#include <FL/Fl_Slider.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace starbloom {

namespace {

constexpr Fl_Font DIALOG_FONT = FL_HELVETICA;
constexpr int DIALOG_FONT_SIZE = 12;   // pixels
constexpr int TICK_BAND = 7;           // pixels above a slider's track for its ticks
constexpr int TICK_LENGTH = 4;         // pixels
constexpr int FRAME_TEXT_INDENT = 6;   // pixels from a group box's left edge to its text
const Fl_Color MISSING_BANNER_COLOR = fl_rgb_color(10, 10, 24);

// A horizontal slider with a tick for every position along its top. The
// track and the knob take the space below the ticks, for drawing and input
// alike.
class TickSlider : public Fl_Slider {
 public:
  TickSlider(int x, int y, int w, int h) : Fl_Slider(x, y, w, h) {
    type(FL_HOR_NICE_SLIDER);
    box(FL_FLAT_BOX);
    step(1);
  }

  void draw() override {
    if (damage() & FL_DAMAGE_ALL) draw_box();
    Fl_Slider::draw(x(), trackY(), w(), trackH());
    // FLTK's knob is as wide as the larger of its share of the track and
    // half the track's height plus five: the ticks follow its centre.
    int knob = static_cast<int>(slider_size() * w() + 0.5);
    if (knob < trackH() / 2 + 5) knob = trackH() / 2 + 5;
    const int lo = static_cast<int>(minimum());
    const int hi = static_cast<int>(maximum());
    fl_color(active_r() ? FL_FOREGROUND_COLOR : fl_inactive(FL_FOREGROUND_COLOR));
    for (int v = lo; v <= hi; ++v) {
      const double at = hi > lo ? static_cast<double>(v - lo) / (hi - lo) : 0.5;
      const int tx = x() + static_cast<int>(at * (w() - knob) + 0.5) + knob / 2;
      const int length = (v == lo || v == hi) ? TICK_LENGTH + 2 : TICK_LENGTH;
      fl_yxline(tx, y() + TICK_BAND - 1 - length, y() + TICK_BAND - 2);
    }
  }

  int handle(int event) override { return Fl_Slider::handle(event, x(), trackY(), w(), trackH()); }

 private:
  int trackY() const { return y() + TICK_BAND; }
  int trackH() const { return h() - TICK_BAND; }
};

// A group box: an engraved frame whose top line runs through the middle of
// its text, which sits at the top left.
class GroupFrame : public Fl_Box {
 public:
  GroupFrame(int x, int y, int w, int h, const char* text) : Fl_Box(x, y, w, h, text) {
    box(FL_NO_BOX);
  }

  void draw() override {
    fl_font(labelfont(), labelsize());
    const int textH = fl_height();
    draw_box(FL_ENGRAVED_FRAME, x(), y() + textH / 2, w(), h() - textH / 2, color());
    int textW = 0;
    int unusedH = 0;
    measure_label(textW, unusedH);
    fl_color(color());
    fl_rectf(x() + FRAME_TEXT_INDENT - 2, y(), textW + 4, textH);
    draw_label(x() + FRAME_TEXT_INDENT, y(), textW, textH, FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  }
};

// The banner, decoded once per showing of "MORE ".
struct Banner {
  unsigned char* pixels = nullptr; // stb_image's RGB, freed with the banner
  int width = BANNER_WIDTH;        // pixels
  int height = BANNER_HEIGHT;
  ~Banner() { stbi_image_free(pixels); }
};

void decodeBanner(Banner& banner) {
  const ResourceData* resource = findResource(BANNER_BITMAP);
  if (resource == nullptr) return;
  int channels = 0;
  banner.pixels = stbi_load_from_memory(resource->bytes, static_cast<int>(resource->size),
                                        &banner.width, &banner.height, &channels, 3);
  if (banner.pixels == nullptr) {
    banner.width = BANNER_WIDTH;
    banner.height = BANNER_HEIGHT;
  }
}

// One dialog on the screen: its template, its widgets by template index,
// and what its buttons work on.
struct DialogView {
  const DialogTemplate* dialog = nullptr;
  Fl_Double_Window* window = nullptr;
  Fl_Widget* widgets[MAX_DIALOG_CONTROLS] = {};
  DialogFontMetrics font;
  const std::string* path = nullptr; // the settings file
  Settings* settings = nullptr;      // read by "More", written by "OK"
};

void onButton(Fl_Widget* widget, void* data);

Fl_Widget* makeWidget(const DialogControl& c, const PixelRect& r, Fl_RGB_Image* banner) {
  switch (c.kind) {
    case ControlKind::CheckBox:
      return new Fl_Check_Button(r.x, r.y, r.w, r.h, c.text);
    case ControlKind::RadioButton: {
      Fl_Button* b = new Fl_Round_Button(r.x, r.y, r.w, r.h, c.text);
      b->type(FL_RADIO_BUTTON);
      return b;
    }
    case ControlKind::PushButton:
      return new Fl_Button(r.x, r.y, r.w, r.h, c.text);
    case ControlKind::DefaultButton:
      return new Fl_Return_Button(r.x, r.y, r.w, r.h, c.text);
    case ControlKind::GroupBox:
      return new GroupFrame(r.x, r.y, r.w, r.h, c.text);
    case ControlKind::StaticText: {
      Fl_Box* b = new Fl_Box(r.x, r.y, r.w, r.h, c.text);
      b->align(FL_ALIGN_TOP_LEFT | FL_ALIGN_INSIDE);
      return b;
    }
    case ControlKind::Slider: {
      TickSlider* s = new TickSlider(r.x, r.y, r.w, r.h);
      s->bounds(c.rangeMin, c.rangeMax);
      return s;
    }
    case ControlKind::Picture: {
      const int w = banner ? banner->w() : BANNER_WIDTH;
      const int h = banner ? banner->h() : BANNER_HEIGHT;
      Fl_Box* b = new Fl_Box(FL_FLAT_BOX, r.x, r.y, w, h, nullptr);
      b->color(MISSING_BANNER_COLOR);
      if (banner) b->image(banner);
      return b;
    }
  }
  return nullptr;
}

// Fills view.window (current, between begin and end) with the template's
// controls.
void buildControls(DialogView& view, Fl_RGB_Image* banner) {
  const DialogTemplate& dialog = *view.dialog;
  for (int i = 0; i < dialog.count; ++i) {
    const DialogControl& c = dialog.controls[i];
    Fl_Widget* w = makeWidget(c, dialogUnitsToPixels(view.font, c.rect), banner);
    w->labelfont(DIALOG_FONT);
    w->labelsize(DIALOG_FONT_SIZE);
    if (c.kind == ControlKind::StaticText) {
      // The sans face is wider than the face the layout was made for: a
      // text too long for its box keeps its right edge, which sits beside
      // the slider it names, and grows into the free space on its left.
      int textW = 0;
      int textH = 0;
      w->measure_label(textW, textH);
      if (textW > w->w()) w->align(FL_ALIGN_TOP_RIGHT | FL_ALIGN_INSIDE);
    }
    if (c.command != DialogCommand::Ignored) w->callback(onButton, &view);
    view.widgets[i] = w;
  }
}

void showState(const DialogView& view, const DialogState& state) {
  for (int i = 0; i < view.dialog->count; ++i) {
    switch (view.dialog->controls[i].kind) {
      case ControlKind::CheckBox:
      case ControlKind::RadioButton:
        static_cast<Fl_Button*>(view.widgets[i])->value(state.control[i] != 0 ? 1 : 0);
        break;
      case ControlKind::Slider:
        static_cast<Fl_Slider*>(view.widgets[i])->value(state.control[i]);
        break;
      default:
        break;
    }
  }
}

DialogState readState(const DialogView& view) {
  DialogState state;
  for (int i = 0; i < view.dialog->count; ++i) {
    switch (view.dialog->controls[i].kind) {
      case ControlKind::CheckBox:
      case ControlKind::RadioButton:
        state.control[i] = static_cast<Fl_Button*>(view.widgets[i])->value() != 0 ? 1 : 0;
        break;
      case ControlKind::Slider:
        state.control[i] = static_cast<int>(std::lround(static_cast<Fl_Slider*>(view.widgets[i])->value()));
        break;
      default:
        break;
    }
  }
  return state;
}

int ignoreXError(Display*, XErrorEvent*) { return 0; }

// Makes the shown window transient for owner, a window that existed when
// the owner was chosen; one gone since is a BadWindow, ignored.
void setOwner(Fl_Window& window, Window owner) {
  if (owner == 0) return;
  int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler(ignoreXError);
  XSetTransientForHint(fl_display, fl_xid(&window), owner);
  XSync(fl_display, False);
  XSetErrorHandler(previous);
}

// Shows the dialog at its place, modal, and returns once it is hidden.
void runModal(DialogView& view, const PixelRect& place, Window owner) {
  view.window->position(place.x, place.y);
  view.window->set_modal();
  view.window->show();
  setOwner(*view.window, owner);
  while (view.window->shown()) Fl::wait();
}

Fl_Double_Window* makeWindow(const DialogView& view) {
  const PixelRect size =
      dialogUnitsToPixels(view.font, DialogRect{0, 0, view.dialog->width, view.dialog->height});
  Fl_Double_Window* window = new Fl_Double_Window(size.w, size.h, view.dialog->caption);
  window->xclass("starbloom");
  return window;
}

void runMoreDialog(const DialogView& owner) {
  Banner banner;
  decodeBanner(banner);
  Fl_RGB_Image picture(banner.pixels, banner.width, banner.height, 3);
  DialogView view;
  view.dialog = &MORE_DIALOG;
  view.font = owner.font;
  view.path = owner.path;
  view.settings = owner.settings;
  view.window = makeWindow(view);
  buildControls(view, banner.pixels ? &picture : nullptr);
  view.window->end();
  showState(view, controlsFromSettings(MORE_DIALOG, *view.settings));

  int mouseX = 0;
  int mouseY = 0;
  Fl::get_mouse(mouseX, mouseY);
  PixelRect screen;
  Fl::screen_xywh(screen.x, screen.y, screen.w, screen.h, mouseX, mouseY);
  runModal(view, centredWindow(mouseX, mouseY, view.window->w(), view.window->h(), screen),
           fl_xid(owner.window));
  delete view.window; // with its widgets, before the picture they show
}

void onButton(Fl_Widget* widget, void* data) {
  DialogView& view = *static_cast<DialogView*>(data);
  int index = 0;
  while (index < view.dialog->count && view.widgets[index] != widget) ++index;
  if (index == view.dialog->count) return;
  switch (view.dialog->controls[index].command) {
    case DialogCommand::Ok:
      confirmDialog(*view.dialog, readState(view), *view.path, *view.settings);
      view.window->hide();
      break;
    case DialogCommand::Cancel:
      view.window->hide();
      break;
    case DialogCommand::Default: {
      DialogState state = readState(view);
      defaultControls(*view.dialog, state);
      showState(view, state);
      break;
    }
    case DialogCommand::More:
      runMoreDialog(view);
      break;
    case DialogCommand::Ignored:
      break;
  }
}

} // namespace

DialogFontMetrics measureDialogFont() {
  fl_font(DIALOG_FONT, DIALOG_FONT_SIZE);
  const double letters = fl_width("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  DialogFontMetrics font;
  font.charWidth = static_cast<int>(letters / 52 + 0.5);
  font.charHeight = fl_height();
  return font;
}

int showConfigDialog(void* display, unsigned long owner) {
  fl_open_display(static_cast<Display*>(display));
  const std::string path = settingsFilePath();
  readSettingValuesFrom(path, settings);

  DialogView view;
  view.dialog = &CONFIG_DIALOG;
  view.font = measureDialogFont();
  view.path = &path;
  view.settings = &settings;
  view.window = makeWindow(view);
  buildControls(view, nullptr);
  view.window->end();
  showState(view, controlsFromSettings(CONFIG_DIALOG, settings));

  PixelRect screen;
  Fl::screen_xywh(screen.x, screen.y, screen.w, screen.h, 0);
  runModal(view,
           centredWindow(screen.x + screen.w / 2, screen.y + screen.h / 2, view.window->w(),
                         view.window->h(), screen),
           owner);
  delete view.window;
  return 0;
}

} // namespace starbloom
