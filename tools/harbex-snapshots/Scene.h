#pragma once

// Named scenes for the screenshot tool. A scene builds a top-level widget
// over the scripted facade; the tool shows it, lets it settle and writes
// <name>.png. Add scenes from any file of this folder:
//
//   HARBEX_SCENE("main-type-page") { return std::make_unique<...>(...); }
//
// where the body may script `facade` (a FakeFacade) first.

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class FakeFacade;

namespace snapshots {

using SceneFactory = std::function<std::unique_ptr<QWidget>(FakeFacade& facade)>;

struct Scene {
    std::string name;
    SceneFactory make;
};

// Every registered scene, by name.
std::vector<Scene>& Scenes();

struct SceneRegistrar {
    SceneRegistrar(const char* name, SceneFactory make) {
        Scenes().push_back({name, std::move(make)});
    }
};

}  // namespace snapshots

#define HARBEX_SCENE_CONCAT2(a, b) a##b
#define HARBEX_SCENE_CONCAT(a, b) HARBEX_SCENE_CONCAT2(a, b)
#define HARBEX_SCENE(name)                                                                 \
    static std::unique_ptr<QWidget> HARBEX_SCENE_CONCAT(MakeScene, __LINE__)(FakeFacade&); \
    static const snapshots::SceneRegistrar HARBEX_SCENE_CONCAT(kScene, __LINE__)(          \
        name, &HARBEX_SCENE_CONCAT(MakeScene, __LINE__));                                  \
    static std::unique_ptr<QWidget> HARBEX_SCENE_CONCAT(                                   \
        MakeScene, __LINE__)([[maybe_unused]] FakeFacade & facade)
