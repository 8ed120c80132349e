INSERT INTO brz_statik (muta, bolge_kodu, bolge_adi, sube_kodu, sube_adi, grup_kodu) VALUES
    -- the row with the lowest branch code
    ('1', 2, 'B2', 20, 'S20', 'RG-B'), ('1', 1, 'B1', 10, 'S10', 'RG-A'),
    -- a row with a branch code before one without
    ('2', 1, 'B1', NULL, NULL, 'RG-C'), ('2', 3, 'B3', 30, 'S30', 'RG-D'),
    -- the same branch: the lowest region code
    ('3', 4, 'B4', 10, 'S10', 'RG-E'), ('3', 1, 'B1', 10, 'S10', 'RG-F'),
    -- equal codes: the other fields in column order decide, so every run picks the same row
    ('4', 1, 'B1', 10, 'S10', 'RG-Z'), ('4', 1, 'B1', 10, 'S10', 'RG-Y');
