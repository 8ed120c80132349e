-- YIS model scores per customer and period.
CREATE TABLE brz_yis_tahmin (
    muta        VARCHAR,
    donem       VARCHAR,
    yis_skor    BIGINT,
    yis_ihtimal DOUBLE,
    yis_label   BIGINT
);
