#include "ledger/code_page.h"

namespace hibi {

CodePageText::CodePageText(const QByteArray& encoding)
    : encoding_(encoding), system_(encoding == kLedgerEncoding && systemHasCodePage932()) {}

bool CodePageText::isValid() const {
    return system_ || (QStringDecoder(encoding_.constData()).isValid() &&
                       QStringEncoder(encoding_.constData()).isValid());
}

std::optional<QString> CodePageText::decode(QByteArrayView bytes) {
    if (system_) {
        return systemDecode932(bytes);
    }
    if (!decoder_) {
        decoder_.emplace(encoding_.constData(), QStringDecoder::Flag::Stateless);
    }
    if (!decoder_->isValid()) {
        return std::nullopt;
    }
    QString text = decoder_->decode(bytes);
    if (decoder_->hasError()) {
        decoder_->resetState();
        return std::nullopt;
    }
    return text;
}

std::optional<QByteArray> CodePageText::encode(QStringView text) {
    if (system_) {
        return systemEncode932(text);
    }
    if (!encoder_) {
        encoder_.emplace(encoding_.constData(), QStringEncoder::Flag::Stateless);
    }
    if (!encoder_->isValid()) {
        return std::nullopt;
    }
    QByteArray bytes = encoder_->encode(text);
    if (encoder_->hasError()) {
        encoder_->resetState();
        return std::nullopt;
    }
    return bytes;
}

}  // namespace hibi
