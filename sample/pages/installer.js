// Shared by the installer's pages: the page-state object through which a page tells the
// installer what the user did, and the autoplay mode. When a page's address carries
// "autoplay" in its query (welcome.html?autoplay=1), the page presses its own buttons
// after a moment, so the installer runs through unattended.
var state = null;
try {
    state = new ActiveXObject("DOZUvidaruve.StateCtrl");
} catch (e) {
    state = null;
}

function autoplay() {
    return location.search.indexOf("autoplay") >= 0;
}

// Clicks the element with this id after `delay` milliseconds, in autoplay mode only.
function pressLater(id, delay) {
    if (!autoplay()) return;
    setTimeout(function () {
        document.getElementById(id).click();
    }, delay);
}

function show(id, text) {
    var element = document.getElementById(id);
    if (element) element.innerText = text;
}

// Called by every page when its script is ready.
function pageLoaded() {
    if (state) state.JSLoadComplete();
}
