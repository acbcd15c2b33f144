#include "shell/ViewFactories.h"

const PaneFactories::Make& PaneFactories::of(AppModel::Tab tab) const {
    switch (tab) {
    case AppModel::Tab::Download:
        return download;
    case AppModel::Tab::Batch:
        return batch;
    case AppModel::Tab::Transcription:
        return transcription;
    case AppModel::Tab::Downloads:
        return downloads;
    case AppModel::Tab::Browser:
        return browser;
    case AppModel::Tab::Settings:
        return settings;
    }
    return download;
}

PaneFactories::Make& PaneFactories::of(AppModel::Tab tab) {
    return const_cast<Make&>(static_cast<const PaneFactories&>(*this).of(tab));
}
